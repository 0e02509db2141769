// The greetings strip from lines of text, a picture 320 wide or a raw file.
#include "ovltool/import_entry.h"

#include "archive/content_format.h"
#include "gencontent/content.h"
#include "gencontent/text.h"

namespace fs = std::filesystem;

bool ImportStrip(const EntryOptions& o, MadeEntry* made)
{
    if (o.Get("text")) {
        std::vector<std::string> lines;
        std::string font = "DejaVuSans-Bold.ttf+condensed";
        double size = 44;
        if (!o.Lines("text", &lines) || !o.Text("font", &font) || !o.Number("size", 8, 150, &size))
            return false;
        made->bytes = BuildStripFromLines(lines, font.c_str(), int(size));
        if (TextFailed()) {
            *o.error = Where(o.c, o.Line("font")) + "cannot load the font \"" + font + "\"";
            return false;
        }
        made->how = "generated";
        made->detail = std::to_string(lines.size()) + " lines of text";
        return true;
    }
    fs::path path;
    Bytes data;
    if (!o.Source(&path, &data))
        return false;
    if (!IsPng(path)) {
        if (data.size() > StripBytes || data.size() % StripWidth != 0) {
            *o.error = Where(o.c, o.Line("source")) + path.filename().string() +
                       " must be rows of 320 bytes, at most 9,200 of them";
            return false;
        }
        bool whole = data.size() == StripBytes;
        data.resize(StripBytes, 0);
        made->bytes = std::move(data);
        made->how = whole ? "unchanged" : "converted";
        made->detail = path.filename().string() + (whole ? "" : " (padded with empty rows)");
        return true;
    }
    int width, height;
    std::string why;
    if (!PngSize(data.data(), data.size(), &width, &height, &why) || width != int(StripWidth) ||
        height > int(StripRows)) {
        *o.error = Where(o.c, o.Line("source")) + path.filename().string() +
                   (why.empty() ? " is " + std::to_string(width) + "x" + std::to_string(height) +
                                      "; the strip must be 320 wide and at most 9200 tall"
                                : ": " + why);
        return false;
    }
    PngImage image;
    if (!Decode(o, path, data, width, height, &image))
        return false;
    // Letters: brightness times opacity is the coverage.
    Mask cover = MakeMask(int(StripWidth), int(StripRows));
    for (size_t i = 0; i < size_t(width) * height; i++) {
        const uint8_t* p = &image.rgba[i * 4];
        double bright = (0.3 * p[0] + 0.59 * p[1] + 0.11 * p[2]) / 255.0;
        cover.a[i] = bright * p[3] / 255.0;
    }
    made->bytes = StripFromCoverage(cover);
    made->how = "converted";
    made->detail = path.filename().string() + " (brightness and alpha as letter coverage)";
    return true;
}
