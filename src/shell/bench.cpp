// The timedemo (--bench). Output on stdout, one "bench: ..." line each:
//   bench: machine cpu="MODEL" cores=N pinned_cpu=K
//   bench: capture realtime_factor=X frames=N seconds=S cpu_seconds=C cpu_realtime_factor=Y
//          the whole demo on the virtual clock with the null backend and no files, data
//          loading included; by wall clock and by the CPU time the process used
//   bench: fps=X
//   bench: NAME us_per_frame=X   median of repeated calls (short ones timed in
//          batches), on the loaded data, for every 2D kernel, overlay, the fill,
//          expand, the packers, expand and pack fused per depth, each mesh scene's
//          frame and the final scene's frame
//   bench: decode mb_per_s=X entry=NAME   the stream decoder on the largest picture
//          entry (output bytes per second); decode_text on generated text-like data
// Timings are wall-clock on the one CPU the process is pinned to.
#include <sched.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "archive/archive.h"
#include "archive/content_format.h"
#include "archive/entries.h"
#include "archive/pack.h"
#include "audio/audio.h"
#include "core/pixels.h"
#include "demo/buffers.h"
#include "core/fail.h"
#include "demo/startup.h"
#include "demo/final_scene.h"
#include "demo/scenes3d.h"
#include "effects/effects.h"
#include "engine3d/mesh.h"
#include "engine3d/render.h"
#include "shell/options.h"
#include "shell/shell.h"
#include "video/video.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double>(to - from).count();
}

std::string CpuModel()
{
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line;
    while (std::getline(cpuinfo, line))
        if (line.rfind("model name", 0) == 0) {
            size_t colon = line.find(':');
            if (colon != std::string::npos)
                return line.substr(line.find_first_not_of(" \t", colon + 1));
        }
    return "unknown";
}

// Pins the process to the CPU it runs on now; that CPU, or -1 when pinning failed.
int PinToOneCore()
{
    int cpu = sched_getcpu();
    if (cpu < 0)
        return -1;
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
    return sched_setaffinity(0, sizeof set, &set) == 0 ? cpu : -1;
}

// Median wall time in microseconds of `runs` calls of call(k), k = 0..runs-1, after
// a few unmeasured calls; prepare(k) runs unmeasured before each call.
template <typename Prepare, typename Call> double MedianMicros(int runs, Prepare prepare, Call call)
{
    for (int k = 0; k < 5; k++) {
        prepare(k);
        call(k);
    }
    std::vector<double> us(static_cast<size_t>(runs));
    for (int k = 0; k < runs; k++) {
        prepare(k);
        Clock::time_point t0 = Clock::now();
        call(k);
        us[size_t(k)] = std::chrono::duration<double, std::micro>(Clock::now() - t0).count();
    }
    std::nth_element(us.begin(), us.begin() + runs / 2, us.end());
    return us[size_t(runs / 2)];
}

// As above for calls that need no preparation; those shorter than MinSampleMicros are
// timed in batches of equal calls, so that the clock's own cost (in WebAssembly a
// call out to JavaScript) stays out of the figure.
constexpr double MinSampleMicros = 20.0;

template <typename Call> double MedianMicros(int runs, Call call)
{
    Clock::time_point t0 = Clock::now();
    for (int k = 0; k < 5; k++)
        call(k);
    const double once = std::chrono::duration<double, std::micro>(Clock::now() - t0).count() / 5;
    const int batch = once >= MinSampleMicros ? 1 : std::min(1000, int(MinSampleMicros / std::max(once, 0.02)) + 1);
    return MedianMicros(
               runs, [](int) {},
               [&](int k) {
                   for (int b = 0; b < batch; b++)
                       call(k);
               }) /
           batch;
}

void PrintItem(const char* name, double us) { std::printf("bench: %s us_per_frame=%.2f\n", name, us); }

// CPU time the process has used, in seconds: on a machine shared with other work,
// the time the run really took on its core.
double ProcessCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

uint64_t BenchFrames = 0;

bool BenchFrameEnd(int, void*)
{
    AdvanceVirtualClock();
    BenchFrames++;
    return false;
}

// The whole demo as a capture without files runs it; false when it did not finish.
bool RunWholeDemo()
{
    StartupOptions = {0, 1, 1};
    UsePresentBackend(&NullBackend);
    UseVirtualClock(nullptr);
    DemoHooks hooks;
    hooks.frameEnd = BenchFrameEnd;
    Clock::time_point t0 = Clock::now();
    double cpu0 = ProcessCpuSeconds();
    DemoEnd end = RunDemo(1, hooks);
    double elapsed = Seconds(t0, Clock::now());
    double cpu = ProcessCpuSeconds() - cpu0;
    if (!(cpu > 0.0))
        cpu = elapsed;   // no process clock (WebAssembly): the wall clock stands in
    FreeMusic();
    MusicClose();
    FinishVirtualClock();
    double demoSeconds = double(BenchFrames) / CaptureFramesPerSecond;
    std::printf(
        "bench: capture realtime_factor=%.1f frames=%llu seconds=%.2f cpu_seconds=%.2f cpu_realtime_factor=%.1f\n",
        demoSeconds / elapsed, static_cast<unsigned long long>(BenchFrames), elapsed, cpu, demoSeconds / cpu);
    std::printf("bench: fps=%.0f\n", double(BenchFrames) / elapsed);
    return end == DemoFinished;
}

// A whole entry of the data file, decoded; empty when it cannot be read.
std::vector<uint8_t> DecodeEntry(Archive* archive, const char* name)
{
    std::vector<uint8_t> bytes;
    int32_t entry = ArchiveFind(archive, name);
    if (entry < 0 || !ArchiveDecodeEntry(archive, entry, &bytes))
        bytes.clear();
    return bytes;
}

constexpr int KernelRuns = 101;
constexpr int MeshSceneRuns = 360;

// One texture-map kernel with the map and texture of the scene that shows it.
struct KernelItem {
    const char* name;
    const char* mapEntry;       // nullptr: the BigMap window of scene 3
    const char* textureEntry;   // a TexturePicture entry
    void (*draw)();
};

const KernelItem KernelItems[] = {
    {"WaveTunnel", "angrad1.dat", "euf0010.scx", WaveTunnel},
    {"MapEffect1", nullptr, "euf0010.scx", MapEffect1},
    {"MapEffect2", "angrad2.dat", "euf0010.scx", MapEffect2},
    {"MapEffect3", "angrad1.dat", "euf0011.scx", MapEffect3},
    {"MapEffect4", "angrad3.dat", "euf0009.scx", MapEffect4},
    {"MapEffect5", "angrad4.dat", "euf0009.scx", MapEffect5},
    {"MapEffect6", "angrad5.dat", "18soh.scx", MapEffect6},
    {"MapEffect7", "angrad5.dat", "18soh.scx", MapEffect7},
    {"MapEffect8", "angrad1.dat", "euf0011.scx", MapEffect8},
    {"BackgroundEffect1", "angrad6.dat", "8emp_g.scx", BackgroundEffect1},
    {"BackgroundEffect2", "backgr.dat", "7venus.scx", BackgroundEffect2},
};

struct OverlayItem {
    const char* name;
    void (*draw)();
};

const OverlayItem OverlayItems[] = {
    {"OverlayTitle", OverlayTitle},     {"OverlayName1", OverlayName1},     {"OverlayName2", OverlayName2},
    {"OverlayName3", OverlayName3},     {"OverlayLyrics1", OverlayLyrics1}, {"OverlayLyrics2", OverlayLyrics2},
    {"OverlayLyrics3", OverlayLyrics3}, {"OverlayLyrics4", OverlayLyrics4},
};

void BenchKernels(Archive* archive, uint8_t* frame)
{
    FrameBuffer = frame;
    SetWaveMorphA();
    for (const KernelItem& item : KernelItems) {
        if (item.mapEntry != nullptr) {
            std::vector<uint8_t> map = DecodeEntry(archive, item.mapEntry);
            if (map.size() >= MapBytes)
                std::memcpy(CurrentMap, map.data(), MapBytes);
        } else {
            TickCounters[0].store(0);
            SelectMovementWindow();
        }
        std::vector<uint8_t> texture = DecodeEntry(archive, item.textureEntry);
        if (texture.size() >= PicturePaletteOffset + PaletteBytes + TextureBytes)
            std::memcpy(CurrentTexture, texture.data() + PicturePaletteOffset + PaletteBytes, TextureBytes);
        PrintItem(item.name, MedianMicros(KernelRuns, [&](int k) {
                      TickCounters[2].store(uint32_t(7 * k));
                      item.draw();
                  }));
    }
    PrintItem("SelectMovementWindow", MedianMicros(KernelRuns, [](int k) {
                  TickCounters[0].store(uint32_t(8 * k % 800));
                  SelectMovementWindow();
              }));
    for (const OverlayItem& item : OverlayItems)
        PrintItem(item.name, MedianMicros(KernelRuns, [&](int) { item.draw(); }));
}

// FillFromBackground over a frame whose zero pixels are those a mesh scene leaves:
// its objects drawn over a cleared frame.
void BenchFill(uint8_t* frame, const uint8_t* objects)
{
    FrameBuffer = frame;
    PrintItem("FillFromBackground", MedianMicros(
                                        KernelRuns, [&](int) { std::memcpy(frame, objects, ScreenBytes); },
                                        [](int) { FillFromBackground(); }));
}

// False, with a line on stderr, when a fused converter's surface is not the one expand
// then pack writes: the figures would time a wrong result (the WebAssembly loops are
// not those of the native build, and the page never packs).
bool BenchPixels(const uint8_t* frame)
{
    static uint8_t surface[ScreenBytes * 4];
    std::vector<uint8_t> twoSteps(ScreenBytes * 4);   // the reference surface, for the timedemo alone
    PrintItem("expand", MedianMicros(KernelRuns, [&](int) { ExpandFrame(frame, DevicePalette, TrueColorFrame); }));
    struct Depth {
        const char* name;
        const char* fusedName;
        DisplayMode mode;
    };
    const Depth depths[] = {
        {"pack565", "expand_pack565", {320, 200, 16, 1}},
        {"pack555", "expand_pack555", {320, 200, 16, 0}},
        {"pack24", "expand_pack24", {320, 200, 24, 1}},
        {"pack32", "expand_pack32", {320, 200, 32, 1}},
    };
    for (const Depth& d : depths) {
        int pitch = ScreenWidth * d.mode.depth / 8;
        PrintItem(d.name, MedianMicros(KernelRuns, [&](int) { PackFrame(TrueColorFrame, surface, pitch, d.mode); }));
    }
    for (const Depth& d : depths) {
        int pitch = ScreenWidth * d.mode.depth / 8;
        ExpandFrame(frame, DevicePalette, TrueColorFrame);
        PackFrame(TrueColorFrame, twoSteps.data(), pitch, d.mode);
        ExpandPackFrame(frame, DevicePalette, surface, pitch, d.mode);
        if (std::memcmp(surface, twoSteps.data(), size_t(pitch) * ScreenHeight) != 0) {
            std::fprintf(stderr, "tivrel: %s differs from expand then pack\n", d.fusedName);
            return false;
        }
        PrintItem(d.fusedName, MedianMicros(KernelRuns, [&](int) {
                      ExpandPackFrame(frame, DevicePalette, surface, pitch, d.mode);
                  }));
    }
    return true;
}

// Each mesh scene's frame (scenes 11..15) and the final scene's (16), set up as the
// demo sets them up, over a range of angles. `objects` receives scene 15's objects
// drawn over a cleared frame, for the fill.
void BenchMeshScenes(uint8_t* objects)
{
    struct MeshScene {
        const char* name;
        void (*setUp)();
        void (*draw)();
        void (*end)();
    };
    const MeshScene scenes[] = {
        {"scene11_star", SetUpScene11, DrawMeshScene, EndMeshScene},
        {"scene12_jo2", SetUpScene12, DrawMeshScene, EndMeshScene},
        {"scene13_jo6", SetUpScene13, DrawMeshScene, EndMeshScene},
        {"scene14_part5", SetUpScene14, DrawMeshScene, EndMeshScene},
        {"scene15_new4", SetUpScene15, DrawMeshScene, EndMeshScene},
        {"scene16_final", SetUpScene16, DrawScene16, EndScene16},
    };
    MusicPosition = MusicPositionState{0, 0};
    for (const MeshScene& scene : scenes) {
        scene.setUp();
        // As in the demo: every counter one tick further per frame, over a whole turn
        // (the face order carries over from frame to frame).
        PrintItem(scene.name, MedianMicros(MeshSceneRuns, [&](int k) {
                      TickCounters[0].store(uint32_t(k % 360));
                      TickCounters[1].store(uint32_t(k % 240));
                      TickCounters[2].store(uint32_t(k));
                      scene.draw();
                  }));
        if (scene.draw == DrawMeshScene) {
            // The objects alone: a frame drawn without the background's zero pixels.
            std::memset(FrameBuffer, 0, ScreenBytes);
            for (int32_t k = 0; k < ObjectCount; k++)
                RenderObject(ObjectTable[k]);
            std::memcpy(objects, FrameBuffer, ScreenBytes);
        }
        scene.end();
    }
}

// Deterministic text-like bytes: words of 2 to 4 syllables from a vocabulary of
// 2,048, common words far more often than rare ones, with spaces, commas, full stops
// and line feeds, so that matches are as short and as far apart as in prose.
std::vector<uint8_t> TextLikeData(size_t size)
{
    static const char* const syllables[] = {"ta", "ne", "ri", "so", "lu", "ka", "me", "do", "vi", "ro", "sa",
                                            "te", "mi", "la", "no", "pe", "ru", "ki", "an", "el", "or", "is",
                                            "th", "st", "en", "er", "in", "on", "at", "es", "ed", "ing"};
    uint32_t state = 12345;
    auto next = [&state]() {
        state = state * 1103515245u + 12345u;
        return state >> 8;
    };
    std::vector<std::string> words(2048);
    for (std::string& word : words)
        for (uint32_t n = 2 + next() % 3; n > 0; n--)
            word += syllables[next() % 32];
    std::vector<uint8_t> text;
    text.reserve(size + 64);
    int column = 0;
    while (text.size() < size) {
        // The product of two uniform draws favours the small indices.
        const std::string& word = words[(next() % 2048) * (next() % 2048) / 2048];
        text.insert(text.end(), word.begin(), word.end());
        column += int(word.size()) + 1;
        uint32_t mark = next() % 16;
        if (mark == 0)
            text.push_back(',');
        else if (mark == 1)
            text.push_back('.');
        if (column > 70) {
            text.push_back('\n');
            column = 0;
        } else {
            text.push_back(' ');
        }
    }
    text.resize(size);
    return text;
}

void PrintDecode(const char* label, const char* entry, const std::vector<uint8_t>& packed, size_t size)
{
    std::vector<uint8_t> out(size);
    double us = MedianMicros(21, [&](int) { ZOH_Unpack(packed.data(), packed.size(), out.data(), out.size()); });
    if (entry != nullptr)
        std::printf("bench: %s mb_per_s=%.0f entry=%s bytes=%zu\n", label, double(size) / us, entry, size);
    else
        std::printf("bench: %s mb_per_s=%.0f bytes=%zu\n", label, double(size) / us, size);
}

// The decoder on the largest picture entry (overlays, textures, pictures) and on
// text-like data of 1 MiB.
void BenchDecoder(Archive* archive)
{
    int32_t largest = -1;
    for (int k = 0; k < DataEntryCount; k++) {
        EntryKind kind = DataEntries[k].kind;
        if (kind != EntryOverlay && kind != EntryTexture && kind != EntryPicture)
            continue;
        int32_t entry = ArchiveFind(archive, DataEntries[k].name);
        if (entry >= 0 && (largest < 0 || ArchiveEntrySize(archive, entry) > ArchiveEntrySize(archive, largest)))
            largest = entry;
    }
    if (largest >= 0) {
        const OverlayEntry* record = ArchiveEntry(archive, largest);
        std::vector<uint8_t> packed(record->packedSize);
        if (ArchiveReadPacked(archive, largest, packed.data(), packed.size())) {
            char name[13] = {};
            std::memcpy(name, record->name, 12);
            PrintDecode("decode", name, packed, ArchiveEntrySize(archive, largest));
        }
    }
    std::vector<uint8_t> text = TextLikeData(1 << 20);
    PrintDecode("decode_text", nullptr, PackStream(text.data(), text.size()), text.size());
}

}   // namespace

int RunBench(const ShellOptions& options)
{
    (void)options;
    unsigned cores = std::thread::hardware_concurrency();
    int cpu = PinToOneCore();
    std::printf("bench: machine cpu=\"%s\" cores=%u pinned_cpu=%d\n", CpuModel().c_str(), cores, cpu);
    std::fflush(stdout);
    if (!AllocateTrueColorFrame())
        OutOfMemoryExit();
    if (!RunWholeDemo())
        return 1;

    Archive archive;
    if (!ArchiveOpenFile(&archive, overlayName)) {
        std::fprintf(stderr, "tivrel: %s\n", ArchiveError(&archive));
        return 1;
    }
    std::vector<uint8_t> frame(ScreenBytes), objects(ScreenBytes);
    uint8_t* demoFrame = FrameBuffer;
    BenchMeshScenes(objects.data());
    BenchKernels(&archive, frame.data());
    BenchFill(frame.data(), objects.data());
    bool pixelsAgree = BenchPixels(frame.data());
    FrameBuffer = demoFrame;
    if (!pixelsAgree)
        return 1;
    BenchDecoder(&archive);
    return 0;
}
