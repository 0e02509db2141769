// Real-time playback: through SDL's dummy driver (a device that consumes sound at
// the right pace) and with no driver at all (the silent sink). Either way the
// position must advance through the song and end past its last order.
#include "audio_test_support.h"

#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// 4 orders of 12 rows at 20 ms a row: just under a second of music.
MiniS3mOptions SecondLongModule() {
    return MiniS3mOptions{.orders = 4, .patterns = 4, .rowsPerOrder = 12};
}

// Polls the position until the song ends (or 10 s pass); returns what was seen.
// The position heard can never be ahead of the time since StartMusic: row r of the
// song starts r x 20 ms in, so seeing it earlier means the output's latency was
// not taken off (a device renders well ahead of what it plays).
std::vector<Position> PlayToTheEnd(int soundOn) {
    std::vector<uint8_t> buffer = PaddedModule(SecondLongModule());
    EXPECT_EQ(LoadMusic(buffer.data(), MusicBufferLength), 0);
    std::fill(buffer.begin(), buffer.end(), 0);
    const auto start = Clock::now();
    StartMusic(soundOn);
    std::vector<Position> seen;
    while (Clock::now() < start + std::chrono::seconds(10)) {
        UpdateMusicPosition();
        const auto elapsed = Clock::now() - start;
        if (seen.empty() || seen.back() != CurrentPosition()) {
            seen.push_back(CurrentPosition());
            if (MusicPosition.order == MusicEndOrder) break;
            const int rowIndex = (MusicPosition.order - 1) * 12 + MusicPosition.row;
            EXPECT_LE(std::chrono::milliseconds(20 * rowIndex), elapsed)
                << "order " << int(MusicPosition.order) << " row " << int(MusicPosition.row);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return seen;
}

void ExpectWholeSongInOrder(const std::vector<Position>& seen) {
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front(), Position(1, 0));
    EXPECT_EQ(seen.back(), Position(MusicEndOrder, 0));
    int orderSeen[5] = {};
    for (size_t i = 1; i < seen.size(); i++) {
        EXPECT_TRUE(seen[i - 1] < seen[i]) << "went back at " << i;
        if (seen[i].first <= 4) orderSeen[seen[i].first]++;
    }
    for (int order = 1; order <= 4; order++) EXPECT_GT(orderSeen[order], 0) << order;
    // Rows arrive a few at a time at most (5.8 ms snapshots, 20 ms rows).
    EXPECT_GT(seen.size(), size_t(24));
}

class RealTimeTest : public AudioTest {
protected:
    void UseDriver(const char* driver) { setenv("SDL_AUDIODRIVER", driver, 1); }
    void TearDown() override {
        AudioTest::TearDown();
        unsetenv("SDL_AUDIODRIVER");
    }
};

TEST_F(RealTimeTest, DummyDevicePlaysTheSongThrough) {
    UseDriver("dummy");
    MusicInit();
    ASSERT_TRUE(MusicHasDevice());
    EXPECT_GE(MusicLatencyFrames(), 2 * 256);
    ExpectWholeSongInOrder(PlayToTheEnd(1));
    EXPECT_TRUE(StopMusic());
    EXPECT_TRUE(FreeMusic());
}

TEST_F(RealTimeTest, WithoutAnyDriverTheSilentSinkPlaysTheSongThrough) {
    UseDriver("no-such-driver");
    MusicInit();
    ASSERT_FALSE(MusicHasDevice());
    ExpectWholeSongInOrder(PlayToTheEnd(1));
}

TEST_F(RealTimeTest, WithoutMusicInitTheSinkStillPlays) {
    ExpectWholeSongInOrder(PlayToTheEnd(0));
}

TEST_F(RealTimeTest, NosoundOnTheDeviceStillAdvances) {
    UseDriver("dummy");
    MusicInit();
    ExpectWholeSongInOrder(PlayToTheEnd(0));
}

TEST_F(RealTimeTest, SongIsNotFinishedAtOnce) {
    // Real time, not as fast as the player can render: after 200 ms the song
    // (just under a second) is still in its first half.
    UseDriver("dummy");
    MusicInit();
    std::vector<uint8_t> buffer = PaddedModule(SecondLongModule());
    ASSERT_EQ(LoadMusic(buffer.data(), MusicBufferLength), 0);
    StartMusic(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    UpdateMusicPosition();
    EXPECT_LE(MusicPosition.order, 2);
}

TEST_F(RealTimeTest, EndPathsStopRenderingBeforeTheModuleGoes) {
    // Normal end: free without stop, while the device is rendering.
    for (const char* driver : {"dummy", "no-such-driver"}) {
        UseDriver(driver);
        MusicInit();
        std::vector<uint8_t> buffer = PaddedModule(SecondLongModule());
        ASSERT_EQ(LoadMusic(buffer.data(), MusicBufferLength), 0);
        StartMusic(1);
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        EXPECT_TRUE(FreeMusic()) << driver;
        UpdateMusicPosition();   // after the song is gone: leaves the position alone
        MusicClose();
        // Quit sequence: stop, free, close.
        MusicInit();
        ASSERT_EQ(LoadMusic(buffer.data(), MusicBufferLength), 0);
        StartMusic(1);
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        UpdateMusicPosition();
        EXPECT_TRUE(StopMusic()) << driver;
        const Position stopped = CurrentPosition();
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        UpdateMusicPosition();
        EXPECT_EQ(CurrentPosition(), stopped);
        EXPECT_TRUE(FreeMusic()) << driver;
        MusicClose();
    }
}

TEST_F(RealTimeTest, CaptureTakesOverASongAlreadyPlaying) {
    UseDriver("dummy");
    MusicInit();
    std::vector<uint8_t> buffer = PaddedModule(SecondLongModule());
    ASSERT_EQ(LoadMusic(buffer.data(), MusicBufferLength), 0);
    StartMusic(1);
    ASSERT_TRUE(UseVirtualClock(nullptr));
    EXPECT_FALSE(MusicHasDevice());
    for (int i = 0; i < 100 && MusicPosition.order != MusicEndOrder; i++) {
        AdvanceVirtualClock();
        UpdateMusicPosition();
    }
    EXPECT_EQ(MusicPosition.order, MusicEndOrder);
}

}  // namespace
