// Time per frame of every effect kernel on random maps and textures: the median of
// 500 calls, one core, in milliseconds. Target: well under 0.2 ms per kernel.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

#include "effects/kernels.h"

namespace {

double MedianMs(const std::function<void(int)>& call, int calls)
{
    std::vector<double> ms(calls);
    for (int i = 0; i < 20; ++i)
        call(i);   // warm caches
    for (int i = 0; i < calls; ++i) {
        auto t0 = std::chrono::steady_clock::now();
        call(i);
        auto t1 = std::chrono::steady_clock::now();
        ms[i] = std::chrono::duration<double, std::milli>(t1 - t0).count();
    }
    std::nth_element(ms.begin(), ms.begin() + calls / 2, ms.end());
    return ms[calls / 2];
}

}   // namespace

int main()
{
    const int calls = 500;
    std::mt19937 rng(1234);
    std::vector<uint8_t> map(2 * MapPixels), texture(65536), target(MapPixels), background(MapPixels);
    std::vector<uint8_t> bigMap(BigMapBytes), movement(MovementRecordBytes * MovementRecords);
    std::vector<uint8_t> source(MapPixels), palette(768), paletteSource(768);
    for (auto& b : map)
        b = uint8_t(rng());
    for (auto& b : texture)
        b = uint8_t(rng());
    for (auto& b : bigMap)
        b = uint8_t(rng());
    for (auto& b : source)
        b = uint8_t(rng() % 4 == 0 ? 0 : rng());
    for (auto& b : paletteSource)
        b = uint8_t(rng() % 64);
    for (uint32_t r = 0; r < MovementRecords; ++r) {
        int32_t xy[2] = {int32_t(rng() % 321), int32_t(rng() % 201)};
        std::copy((uint8_t*)xy, (uint8_t*)xy + 8, &movement[r * MovementRecordBytes]);
    }
    uint8_t waveA[256], waveB[256], working[256], targetWave[256];
    const uint8_t bump[16] = {1, 1, 1, 1, 1, 2, 2, 3, 4, 4, 5, 6, 7, 8, 9, 10};
    BuildWaveA(waveA);
    BuildWaveB(waveB);
    std::copy(waveA, waveA + 256, working);
    std::copy(waveB, waveB + 256, targetWave);
    const uint8_t* m = map.data();
    const uint8_t* t = texture.data();
    uint8_t* o = target.data();

    struct Row {
        const char* name;
        std::function<void(int)> call;
    };
    std::vector<Row> rows = {
        {"MapEffect1/2", [&](int i) { ShiftMapKernel(m, t, o, uint8_t(2 * i), 0); }},
        {"MapEffect3", [&](int i) { MapEffect3Kernel(m, t, waveA, bump, o, uint8_t(i)); }},
        {"MapEffect4", [&](int i) { RippleKernel(m, t, waveB, o, uint8_t(i)); }},
        {"MapEffect5", [&](int i) { NegatedRippleKernel(m, t, waveA, o, uint8_t(i)); }},
        {"MapEffect6", [&](int i) { SwappedRippleKernel(m, t, waveB, o, uint8_t(i)); }},
        {"MapEffect7", [&](int i) { RippleKernel(m, t, waveA, o, uint8_t(i)); }},
        {"MapEffect8", [&](int i) { MapEffect8Kernel(m, t, waveA, bump, o, uint8_t(i)); }},
        {"WaveTunnel", [&](int i) { WaveTunnelKernel(m, t, working, o, uint8_t(i)); }},
        {"StepWaveMorph (step + tunnel)",
         [&](int i) {
             StepWaveKernel(working, targetWave);
             WaveTunnelKernel(m, t, working, o, uint8_t(i));
         }},
        {"BackgroundEffect1",
         [&](int i) {
             uint8_t f = uint8_t(i);
             ShiftMapKernel(m, t, background.data(), uint8_t(f + waveA[f]), waveB[f]);
         }},
        {"BackgroundEffect2",
         [&](int i) {
             uint8_t f = uint8_t(i);
             ShiftMapSwappedKernel(m, t, background.data(), waveB[f], waveA[f]);
         }},
        {"SelectMovementWindow",
         [&](int i) { MovementWindowKernel(bigMap.data(), movement.data(), uint32_t(i), map.data()); }},
        {"OverlayName (200 rows)", [&](int) { OverlayKernel(source.data(), o, 200 * 320, 237); }},
        {"OverlayLyrics (30 rows)", [&](int) { OverlayKernel(source.data(), o + 170 * 320, 30 * 320, 246); }},
        {"FillFromBackground", [&](int) { FillFromBackgroundKernel(o, background.data(), MapPixels); }},
        {"PaletteFade", [&](int i) { PaletteFadeKernel(palette.data(), paletteSource.data(), i % 64); }},
    };
    std::printf("%-32s %12s\n", "kernel", "ms/frame");
    for (const auto& row : rows)
        std::printf("%-32s %12.4f\n", row.name, MedianMs(row.call, calls));
    unsigned checksum = 0;
    for (uint8_t b : target)
        checksum += b;
    std::printf("(checksum %u)\n", checksum);
    return 0;
}
