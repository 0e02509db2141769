// Loading the module: the demo's zero-padded buffer, hostile buffers, and what the
// other music calls do when nothing was loaded.
#include "audio_test_support.h"

#include <random>

namespace {

using LoadTest = AudioTest;

TEST_F(LoadTest, ModuleAtTheStartOfAZeroPaddedMegabyteLoads) {
    std::vector<uint8_t> buffer = PaddedModule(MiniS3mOptions{});
    EXPECT_EQ(LoadMusic(buffer.data(), MusicBufferLength), 0);
    EXPECT_TRUE(FreeMusic());
}

TEST_F(LoadTest, BuffersThatHoldNoModuleAreRejected) {
    std::vector<uint8_t> zeros(MusicBufferLength, 0);
    EXPECT_NE(LoadMusic(zeros.data(), MusicBufferLength), 0);

    std::vector<uint8_t> noise(MusicBufferLength);
    std::mt19937 random(1234);
    for (uint8_t& b : noise) b = uint8_t(random());
    EXPECT_NE(LoadMusic(noise.data(), MusicBufferLength), 0);

    std::vector<uint8_t> headerOnly = BuildMiniS3m(MiniS3mOptions{});
    headerOnly.resize(0x30);
    EXPECT_NE(LoadMusic(headerOnly.data(), uint32_t(headerOnly.size())), 0);

    EXPECT_NE(LoadMusic(nullptr, MusicBufferLength), 0);
    EXPECT_NE(LoadMusic(zeros.data(), 0), 0);
}

TEST_F(LoadTest, AfterAFailedLoadTheOtherCallsAreHarmless) {
    std::vector<uint8_t> zeros(MusicBufferLength, 0);
    ASSERT_NE(LoadMusic(zeros.data(), MusicBufferLength), 0);
    MusicInit();
    StartMusic(1);
    UpdateMusicPosition();
    EXPECT_EQ(CurrentPosition(), Position(0, 0));
    EXPECT_FALSE(StopMusic());
    EXPECT_FALSE(FreeMusic());
    MusicClose();
}

TEST_F(LoadTest, AFailedLoadDropsThePreviousModule) {
    std::vector<uint8_t> good = PaddedModule(MiniS3mOptions{});
    ASSERT_EQ(LoadMusic(good.data(), MusicBufferLength), 0);
    std::vector<uint8_t> zeros(MusicBufferLength, 0);
    EXPECT_NE(LoadMusic(zeros.data(), MusicBufferLength), 0);
    EXPECT_FALSE(FreeMusic());
}

TEST_F(LoadTest, TruncatedModuleNeverHangsTheTimeline) {
    // Cut inside the pattern data: whatever the player makes of it, the position
    // must reach the end instead of stalling or looping.
    std::vector<uint8_t> module = BuildMiniS3m(MiniS3mOptions{.orders = 4, .rowsPerOrder = 8});
    for (size_t cut : {module.size() - 40, module.size() / 2, size_t(0x70)}) {
        std::vector<uint8_t> truncated(module.begin(), module.begin() + cut);
        ASSERT_TRUE(UseVirtualClock(nullptr));
        if (LoadMusic(truncated.data(), uint32_t(truncated.size())) == 0) {
            StartMusic(1);
            for (int i = 0; i < 500 && MusicPosition.order != MusicEndOrder; i++) {
                AdvanceVirtualClock();
                UpdateMusicPosition();
            }
            EXPECT_EQ(MusicPosition.order, MusicEndOrder) << "cut at " << cut;
            EXPECT_TRUE(FreeMusic());
        }
        FinishVirtualClock();
        MusicPosition = {0, 0};
    }
}

}  // namespace
