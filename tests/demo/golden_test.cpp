// Golden frames of the whole demo, scenes 1..17: the program renders the default data in capture
// mode (virtual clock, so every run is identical) and each chosen frame's RGB
// pixels are hashed and compared with tests/demo/golden_frames.txt, and so are the
// whole soundtrack (music.wav) and the timeline (timeline.csv) of the run.
//
// Regenerate after an intended change of content or drawing:
//   tools/update_golden.sh [build dir]
// which runs this test with TIVREL_UPDATE_GOLDEN=1.
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::string BuildDir = TIVREL_BUILD_DIR;
const std::string GoldenPath = std::string(TIVREL_SOURCE_DIR) + "/tests/demo/golden_frames.txt";

// Frames sampled through all seventeen scenes (the default data runs 12,290 frames).
std::vector<int> ChosenFrames()
{
    std::vector<int> frames;
    for (int f = 0; f < 12290; f += 97)
        frames.push_back(f);
    return frames;
}

uint64_t Fnv1a(const std::vector<uint8_t>& bytes)
{
    uint64_t h = 1469598103934665603ull;
    for (uint8_t b : bytes) {
        h ^= b;
        h *= 1099511628211ull;
    }
    return h;
}

std::vector<uint8_t> ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Files of the run pinned whole, besides the frames.
const char* const PinnedFiles[] = {"music.wav", "timeline.csv"};

// RGB pixels of a PNG file; empty when it cannot be read.
std::vector<uint8_t> ReadRgb(const std::string& path)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return {};
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr))
        return {};
    return pixels;
}

// Scene of every frame, from the capture's timeline.csv ("frame,scene,...").
std::map<int, int> ReadScenes(const std::string& csv)
{
    std::map<int, int> scenes;
    std::ifstream in(csv);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        int frame = 0, scene = 0;
        if (std::sscanf(line.c_str(), "%d,%d", &frame, &scene) == 2)
            scenes[frame] = scene;
    }
    return scenes;
}

struct GoldenFrame {
    int scene;
    uint64_t hash;
};

}   // namespace

TEST(GoldenFrames, WholeDemoMatchesTheRecordedCapture)
{
    const std::string program = BuildDir + "/tivrel";
    const std::string data = BuildDir + "/tivrel.ovl";
    if (!fs::exists(program) || !fs::exists(data))
        GTEST_SKIP() << "needs the program and its default data in " << BuildDir;

    // One folder per process: the plain and the sanitizer builds may run side by side.
    const std::string dir = ::testing::TempDir() + "tivrel-golden-" + std::to_string(getpid());
    fs::remove_all(dir);
    std::string frames;
    for (int f : ChosenFrames())
        frames += (frames.empty() ? "" : ",") + std::to_string(f);
    const std::string command = "'" + program + "' --capture '" + dir + "' --frames " + frames + " --data '" + data +
                                "' > '" + dir + ".log' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    std::map<int, int> scenes = ReadScenes(dir + "/timeline.csv");
    std::map<int, GoldenFrame> actual;
    for (int f : ChosenFrames()) {
        char name[32];
        std::snprintf(name, sizeof name, "/frames/%06d.png", f);
        std::vector<uint8_t> rgb = ReadRgb(dir + name);
        ASSERT_EQ(rgb.size(), 320u * 200u * 3u) << "frame " << f;
        ASSERT_TRUE(scenes.count(f)) << "frame " << f << " missing from timeline.csv";
        actual[f] = {scenes[f], Fnv1a(rgb)};
    }

    std::map<std::string, uint64_t> files;
    for (const char* name : PinnedFiles) {
        std::vector<uint8_t> bytes = ReadFile(dir + "/" + name);
        ASSERT_FALSE(bytes.empty()) << name;
        files[name] = Fnv1a(bytes);
    }

    if (std::getenv("TIVREL_UPDATE_GOLDEN") != nullptr) {
        std::ofstream out(GoldenPath);
        out << "# frame scene rgb-fnv1a64 (written by tools/update_golden.sh)\n";
        for (const auto& [name, hash] : files) {
            char line[64];
            std::snprintf(line, sizeof line, "%s %016llx\n", name.c_str(), (unsigned long long)hash);
            out << line;
        }
        for (const auto& [f, g] : actual) {
            char line[64];
            std::snprintf(line, sizeof line, "%d %d %016llx\n", f, g.scene, (unsigned long long)g.hash);
            out << line;
        }
        SUCCEED() << "golden frames rewritten: " << GoldenPath;
        return;
    }

    std::ifstream in(GoldenPath);
    ASSERT_TRUE(in) << "no golden file; run tools/update_golden.sh";
    std::map<int, GoldenFrame> golden;
    std::map<std::string, uint64_t> goldenFiles;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        if (!std::isdigit(static_cast<unsigned char>(line[0]))) {
            std::string name, hash;
            fields >> name >> hash;
            goldenFiles[name] = std::stoull(hash, nullptr, 16);
            continue;
        }
        int f = 0, scene = 0;
        std::string hash;
        fields >> f >> scene >> hash;
        golden[f] = {scene, std::stoull(hash, nullptr, 16)};
    }
    ASSERT_EQ(golden.size(), actual.size());
    int mismatches = 0;
    for (const auto& [f, g] : golden) {
        const GoldenFrame& a = actual[f];
        EXPECT_EQ(a.scene, g.scene) << "frame " << f;
        if (a.hash != g.hash) {
            ++mismatches;
            ADD_FAILURE() << "frame " << f << " (scene " << a.scene << ") differs from the golden capture";
        }
    }
    for (const char* name : PinnedFiles) {
        ASSERT_TRUE(goldenFiles.count(name)) << name << " has no golden hash; run tools/update_golden.sh";
        if (files[name] != goldenFiles[name]) {
            ++mismatches;
            ADD_FAILURE() << name << " differs from the golden capture";
        }
    }
    if (mismatches == 0)
        fs::remove_all(dir);
}
