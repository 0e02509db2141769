// Cost of presenting one frame on the CPU side: the expansion through the device
// palette plus the packing into each surface format. Prints ms per frame and the
// frame rate this alone would allow.
#include <chrono>
#include <cstdio>
#include <vector>

#include "core/pixels.h"

int main()
{
    std::vector<uint8_t> frame(ScreenBytes), trueColor(TrueColorBytes), surface(ScreenWidth * 4 * ScreenHeight);
    uint8_t palette[768], device[768];
    for (int i = 0; i < 768; i++)
        palette[i] = static_cast<uint8_t>((i * 13) & 63);
    for (int i = 0; i < ScreenBytes; i++)
        frame[i] = static_cast<uint8_t>((i * 7) ^ (i >> 9));
    ScalePalette(palette, device);

    struct Format {
        const char* name;
        DisplayMode mode;
    } formats[] = {
        {"32-bit", {640, 480, 32, 1}},
        {"24-bit", {640, 480, 24, 1}},
        {"16-bit 5-6-5", {640, 480, 16, 1}},
        {"16-bit 5-5-5", {640, 480, 16, 0}},
    };
    const int frames = 2000;
    unsigned checksum = 0;
    std::printf("expand + pack of one 320x200 frame, %d frames each\n", frames);
    for (const Format& f : formats) {
        int pitch = ScreenWidth * (f.mode.depth == 16 ? 2 : f.mode.depth / 8);
        auto start = std::chrono::steady_clock::now();
        for (int n = 0; n < frames; n++) {
            frame[n % ScreenBytes] = static_cast<uint8_t>(n);
            ExpandFrame(frame.data(), device, trueColor.data());
            PackFrame(trueColor.data(), surface.data(), pitch, f.mode);
            checksum += surface[n % 1000];
        }
        double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() / frames;
        std::printf("%-14s %7.3f ms/frame  %8.0f frames/s\n", f.name, ms, 1000.0 / ms);
    }
    std::printf("(checksum %u)\n", checksum);
    return 0;
}
