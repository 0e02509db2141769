// The demo's frame loop over a sound output and a tick source made up here, as a
// fourth output (beside the SDL device, the silent sink and the virtual clock) and a
// second tick source would be added: rows of the tables, nothing else. The made-up
// output hears exactly what it rendered and the ticks come when the test says, so
// the frames must be those of a capture, and pause must go through both rows.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <sstream>
#include <thread>
#include <string>
#include <vector>

#include "audio/audio.h"
#include "audio/sound_output.h"
#include "clock/stall.h"
#include "clock/tick_source.h"
#include "demo/startup.h"
#include "demo_child.h"

namespace {

constexpr size_t StepFrames = 882;   // 20 ms

struct MadeUpOutput {
    bool open = false, pulling = false;
    uint64_t heard = 0, startedFrom = 0;
    int starts = 0, halts = 0, volume = -1;
};
MadeUpOutput Made;

bool Gone = false, Back = false;   // the made-up device unplugged, plugged in again

const SoundOutput MadeUpSoundOutput = {
    "made up",
    [](std::string*) { return Made.open = true; },
    [](uint64_t heardFrame) {
        Made.pulling = true;
        Made.startedFrom = Made.heard = heardFrame;
        Made.starts++;
    },
    [] {
        Made.pulling = false;
        Made.halts++;
    },
    [] { return Made.heard; },
    [] { return 0; },
    [](int percent) { Made.volume = percent; },
    [] { Made.open = false; },
    [] { return Gone; },
    [] { return Back; },
};

int TickStarts = 0, TickStops = 0;
bool Ticking = false;
const TickSource TestTicks = {"test",
                              [] {
                                  TickStarts++;
                                  Ticking = true;
                              },
                              [] {
                                  TickStops++;
                                  Ticking = false;
                              }};

// 20 ms of the made-up rows: the output renders and hears its frames, the source
// ticks, each only while started.
void Step20Milliseconds()
{
    static int16_t sound[StepFrames * 2];
    if (Made.pulling)
        Made.heard = MusicRenderFrames(sound, StepFrames);
    if (Ticking)
        TickHandler();
}

FILE* Out = nullptr;

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

class OutputRows : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (access(DataPath.c_str(), R_OK) != 0)
            GTEST_SKIP() << "needs the default data at " << DataPath;
    }
};

TEST_F(OutputRows, AMadeUpOutputAndTickSourceDriveTheDemoAsACaptureDoes)
{
    // Ten frames of a capture: the reference.
    const std::string captured = InChild([](FILE* out) {
        Out = out;
        UseVirtualClock(nullptr);
        DemoHooks hooks;
        hooks.frameEnd = [](int scene, void*) {
            std::fprintf(Out, "%d %llx\n", scene, static_cast<unsigned long long>(FrameState()));
            AdvanceVirtualClock();
            static int frames = 0;
            return ++frames == 10;
        };
        RunDemo(1, hooks);
    });
    // The same frames stepped by hand over the made-up rows, with a pause after the
    // sixth that holds both rows.
    const std::string stepped = InChild([](FILE* out) {
        UseTickSource(&TestTicks);
        MusicInit(&MadeUpSoundOutput);
        SetMusicVolume(40);
        FrameLoop loop;
        BeginDemo(&loop, 1);
        std::fprintf(out, "opened %d starts %d ticks %d volume %d\n", Made.open, Made.starts, TickStarts, Made.volume);
        auto state = [&] {
            std::fprintf(out, "%d %llx\n", loop.rows[loop.row].number, static_cast<unsigned long long>(FrameState()));
        };
        for (int frame = 0; frame < 5; frame++) {
            if (StepFrameLoop(&loop) == FrameLoopRunning)
                state();
            Step20Milliseconds();
        }
        PushKeyAction(KeyActionPause);
        const FrameLoopState paused = StepFrameLoop(&loop);   // frame 5, then the pause
        state();
        const uint64_t held = Made.heard;
        const uint32_t ticks = TickCounters[1].load();
        for (int i = 0; i < 3; i++) {
            Step20Milliseconds();
            StepFrameLoop(&loop);
        }
        std::fprintf(out, "paused %d halts %d stops %d held %d\n", paused == FrameLoopPaused, Made.halts, TickStops,
                     Made.heard == held && TickCounters[1].load() == ticks);
        PushKeyAction(KeyActionPause);
        const FrameLoopState resumed = StepFrameLoop(&loop);
        std::fprintf(out, "resumed %d from the held frame %d starts %d ticks %d\n", resumed == FrameLoopRunning,
                     Made.startedFrom == held, Made.starts, TickStarts);
        Step20Milliseconds();
        if (StepFrameLoop(&loop) == FrameLoopRunning)
            state();
    });
    const std::vector<std::string> reference = Lines(captured);
    const std::vector<std::string> lines = Lines(stepped);
    ASSERT_EQ(reference.size(), 10u) << captured;
    ASSERT_EQ(lines.size(), 10u) << stepped;
    EXPECT_EQ(lines[0], "opened 1 starts 1 ticks 1 volume 40");
    for (size_t k = 0; k < 6; k++)
        EXPECT_EQ(lines[1 + k], reference[k]) << "frame " << k;
    EXPECT_EQ(lines[7], "paused 1 halts 1 stops 1 held 1");
    EXPECT_EQ(lines[8], "resumed 1 from the held frame 1 starts 2 ticks 2");
    // After the pause the frames go on as if it had not been.
    EXPECT_EQ(lines[9], reference[6]);
}

// The made-up device goes away in the middle of scene 1 and comes back: the frames
// before are a capture's, the song goes on in the silent sink from the frame heard
// last (no gap, no jump), pause and volume keep working there, and the device takes
// the song back from what the sink heard, at the volume set meanwhile.
TEST_F(OutputRows, AnOutputThatGoesAwayAndComesBackKeepsThePositionGoing)
{
    const std::string captured = InChild([](FILE* out) {
        Out = out;
        UseVirtualClock(nullptr);
        DemoHooks hooks;
        hooks.frameEnd = [](int scene, void*) {
            std::fprintf(Out, "%d %llx\n", scene, static_cast<unsigned long long>(FrameState()));
            AdvanceVirtualClock();
            static int frames = 0;
            return ++frames == 5;
        };
        RunDemo(1, hooks);
    });
    const std::string played = InChild([](FILE* out) {
        UseTickSource(&TestTicks);
        MusicInit(&MadeUpSoundOutput);
        FrameLoop loop;
        BeginDemo(&loop, 1);
        double last = 0, largestStep = 0;
        bool backwards = false;
        auto frame = [&](bool print) {
            const FrameLoopState state = StepFrameLoop(&loop);
            if (print)
                std::fprintf(out, "%d %llx\n", loop.rows[loop.row].number,
                             static_cast<unsigned long long>(FrameState()));
            const double now = MusicSeconds();
            backwards = backwards || now < last;
            largestStep = std::max(largestStep, now - last);
            last = now;
            Step20Milliseconds();
            return state;
        };
        for (int k = 0; k < 5; k++)
            frame(true);
        const uint64_t heardAtLoss = Made.heard;
        Gone = true;
        frame(false);
        std::fprintf(out, "sink %d closed %d\n", CurrentSoundOutput() == &SinkSoundOutput, !Made.open);
        Gone = false;
        for (int k = 0; k < 10; k++) {
            frame(false);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));   // the sink's real time
        }
        PushKeyAction(KeyActionPause);
        const bool paused = frame(false) == FrameLoopPaused && MusicPaused();
        const double held = MusicSeconds();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const bool stillHeld = MusicSeconds() == held;
        PushKeyAction(KeyActionVolumeDown);
        PushKeyAction(KeyActionPause);
        frame(false);
        std::fprintf(out, "paused %d held %d resumed %d\n", paused, stillHeld, !MusicPaused());
        for (int k = 0; k < 5; k++) {
            frame(false);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        const double sinkHeard = MusicSeconds();
        Back = true;
        frame(false);
        Back = false;
        std::fprintf(
            out, "back %d open %d from the sink %d volume %d\n", CurrentSoundOutput() == &MadeUpSoundOutput, Made.open,
            Made.startedFrom >= uint64_t(sinkHeard * 44100 - 44100 * 0.05 - 0.5) && Made.startedFrom > heardAtLoss,
            Made.volume);
        for (int k = 0; k < 5; k++)
            frame(false);
        std::fprintf(out, "forwards %d largest step under 0.1 s %d\n", !backwards, largestStep < 0.1);
    });
    const std::vector<std::string> reference = Lines(captured);
    const std::vector<std::string> lines = Lines(played);
    ASSERT_EQ(reference.size(), 5u) << captured;
    ASSERT_EQ(lines.size(), 9u) << played;
    for (size_t k = 0; k < 5; k++)
        EXPECT_EQ(lines[k], reference[k]) << "frame " << k;
    EXPECT_EQ(lines[5], "sink 1 closed 1");
    EXPECT_EQ(lines[6], "paused 1 held 1 resumed 1");
    EXPECT_EQ(lines[7], "back 1 open 1 from the sink 1 volume 90");
    EXPECT_EQ(lines[8], "forwards 1 largest step under 0.1 s 1");
}

// A tick source and an output on a clock of the test's (nanoseconds), as the real
// rows are on the steady clock: the ticks on 20 ms deadlines, the output hearing the
// frames due since its start; both by the stall rule of clock/stall.h. The clock
// stops for 5 s in scene 1 (the process stopped): afterwards ticks and the heard
// position have moved on together, within a frame, and by about the time that
// passed outside the stall.
int64_t FakeNow = 0;
PeriodicDeadlines FakeDeadlines;
bool FakeTicking = false;
int64_t FakeSongStart = 0;   // the time song frame 0 is heard
uint64_t FakeRendered = 0;
bool FakePulling = false;

const TickSource StallingTicks = {"stalling",
                                  [] {
                                      FakeDeadlines = {FakeNow + 20000000, 20000000};
                                      FakeTicking = true;
                                  },
                                  [] { FakeTicking = false; }};

const SoundOutput StallingOutput = {
    "stalling",
    [](std::string*) { return true; },
    [](uint64_t heardFrame) {
        FakeSongStart = FakeNow - int64_t(heardFrame * 1000000000ull / 44100);
        FakePulling = true;
    },
    [] { FakePulling = false; },
    [] {
        const int64_t heard = (FakeNow - FakeSongStart) * 44100 / 1000000000;
        return std::min<uint64_t>(FakeRendered, heard > 0 ? uint64_t(heard) : 0);
    },
    [] { return 0; },
    [](int) {},
    [] {},
};

// The clock moves to `now`: due ticks tick, the output renders 20 ms ahead of what
// it hears, a wake-up past the stall bound re-bases it.
void FakeClockTo(int64_t now)
{
    const int64_t due = FakeSongStart + int64_t(FakeRendered * 1000000000ull / 44100) - 20000000;
    FakeNow = now;
    if (FakePulling) {
        FakeSongStart += StallGap(due, now);
        static int16_t sound[441 * 2];
        while (FakeSongStart + int64_t(FakeRendered * 1000000000ull / 44100) < now + 20000000)
            FakeRendered = MusicRenderFrames(sound, 441);
    }
    if (FakeTicking)
        for (int n = DueDeadlines(&FakeDeadlines, now); n > 0; n--)
            TickHandler();
}

TEST_F(OutputRows, AFiveSecondStallLeavesTicksAndTheHeardPositionTogether)
{
    const std::string played = InChild([](FILE* out) {
        UseTickSource(&StallingTicks);
        MusicInit(&StallingOutput);
        FrameLoop loop;
        BeginDemo(&loop, 1);
        const uint32_t ticksAtStart = TickCounters[2].load();
        const double secondsAtStart = MusicSeconds();
        int64_t now = 0;
        auto frames = [&](int count) {
            for (int k = 0; k < count; k++) {
                now += 20000000;
                FakeClockTo(now);
                StepFrameLoop(&loop);
            }
        };
        frames(50);
        const uint32_t ticksBefore = TickCounters[2].load();
        const double secondsBefore = MusicSeconds();
        now += 5000000000;   // stopped for 5 s
        frames(1);
        const uint32_t tickJump = TickCounters[2].load() - ticksBefore;
        const double musicJump = MusicSeconds() - secondsBefore;
        frames(49);
        const double ticks = (TickCounters[2].load() - ticksAtStart) / 50.0;
        const double music = MusicSeconds() - secondsAtStart;
        std::fprintf(out, "jumps under a frame: ticks %d music %d\n", tickJump <= 2, musicJump < 0.045);
        std::fprintf(out, "together within a frame %d, about 2 s each %d\n", std::abs(ticks - music) <= 0.021,
                     std::abs(ticks - 2.0) < 0.1 && std::abs(music - 2.0) < 0.1);
    });
    EXPECT_EQ(played, "jumps under a frame: ticks 1 music 1\ntogether within a frame 1, about 2 s each 1\n");
}

}   // namespace
