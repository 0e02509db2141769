// gencontent DIR [--contact-sheet FILE.png]
// gencontent --sources DIR
//
// With --sources, writes the default data as an editable content folder instead
// (WriteSources in content.h).
//
// Writes every entry of the default data except the music into DIR: lookup maps,
// movement path, textures, pictures, greetings strip and meshes. The output is the
// same, byte for byte, on every run. With --contact-sheet, also renders an overview
// of what was written to FILE.png.
#include "gencontent/content.h"
#include "gencontent/text.h"

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv)
{
    std::string dir, sheet;
    bool sources = false;
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "--sources") == 0 && !sources) {
            sources = true;
        } else if (std::strcmp(argv[i], "--contact-sheet") == 0 && i + 1 < argc) {
            sheet = argv[++i];
        } else if (argv[i][0] != '-' && dir.empty()) {
            dir = argv[i];
        } else {
            dir.clear();
            break;
        }
    }
    if (dir.empty() || (sources && !sheet.empty())) {
        std::fprintf(stderr, "usage: gencontent DIR [--contact-sheet FILE.png]\n"
                             "       gencontent --sources DIR\n");
        return 1;
    }
    bool ok = sources ? WriteSources(dir) : WriteEntries(dir) && (sheet.empty() || WriteContactSheet(dir, sheet));
    ShutdownText();
    return ok ? 0 : 1;
}
