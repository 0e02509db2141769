// Replays fuzz inputs without libFuzzer: every regular file of the folders (or the
// files) given on the command line, in name order, goes once through
// LLVMFuzzerTestOneInput. A folder that does not exist counts as empty; running no
// input at all is a failure, so a misplaced corpus cannot pass. A failing input
// aborts inside the target, after its path has been printed.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

int main(int argc, char** argv)
{
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; i++) {
        std::error_code ec;
        fs::path arg(argv[i]);
        if (fs::is_regular_file(arg, ec)) {
            inputs.push_back(arg);
            continue;
        }
        std::vector<fs::path> folder;
        for (fs::directory_iterator it(arg, ec), end; !ec && it != end; it.increment(ec))
            if (it->is_regular_file(ec) && it->path().filename().string()[0] != '.')
                folder.push_back(it->path());
        std::sort(folder.begin(), folder.end());
        inputs.insert(inputs.end(), folder.begin(), folder.end());
    }
    for (const fs::path& path : inputs) {
        std::ifstream file(path, std::ios::binary);
        if (!file) {
            fprintf(stderr, "replay: cannot read %s\n", path.c_str());
            return 1;
        }
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        fprintf(stderr, "replay: %s (%zu bytes)\n", path.c_str(), bytes.size());
        // A copy of exactly the input's size, so a read past its end is caught.
        std::unique_ptr<uint8_t[]> exact(new uint8_t[bytes.size()]);
        std::copy(bytes.begin(), bytes.end(), exact.get());
        LLVMFuzzerTestOneInput(exact.get(), bytes.size());
    }
    printf("replay: %zu inputs\n", inputs.size());
    return inputs.empty() ? 1 : 0;
}
