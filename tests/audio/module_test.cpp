// Modules: loading into the player (the demo's padded buffer, hostile and truncated
// data) and inspection without playing.
#include "audio/module_info.h"
#include "audio_test_support.h"

#include <random>
#include <string>

namespace {

using ModuleTest = AudioTest;

TEST_F(ModuleTest, BytesThatHoldNoModuleAreRefused)
{
    std::vector<uint8_t> good = PaddedModule({});
    ASSERT_TRUE(LoadMusic(good.data(), MusicBufferLength));
    std::vector<uint8_t> zeros(MusicBufferLength, 0);
    std::vector<uint8_t> noise(MusicBufferLength);
    std::mt19937 random(1234);
    for (uint8_t& b : noise)
        b = uint8_t(random());
    std::vector<uint8_t> headerOnly = BuildMiniS3m({});
    headerOnly.resize(0x30);
    for (const std::vector<uint8_t>* bad : {&zeros, &noise, &headerOnly}) {
        EXPECT_FALSE(LoadMusic(bad->data(), uint32_t(bad->size())));
        ModuleInfo info{.format = "stale", .orderCount = 1, .orderStartSeconds = {0.0}};
        std::string error;
        EXPECT_FALSE(InspectModule(bad->data(), bad->size(), &info, &error));
        EXPECT_FALSE(error.empty());
        EXPECT_TRUE(info.format.empty() && info.orderCount == 0 && info.orderStartSeconds.empty());
    }
    EXPECT_FALSE(LoadMusic(nullptr, MusicBufferLength));
    EXPECT_FALSE(LoadMusic(zeros.data(), 0));
    ModuleInfo info;
    EXPECT_FALSE(InspectModule(nullptr, 100, &info, nullptr));

    // A failed load drops the song loaded before; the other calls are then harmless.
    MusicInit(&SdlSoundOutput);
    StartMusic(1);
    UpdateMusicPosition();
    EXPECT_EQ(CurrentPosition(), Position(0, 0));
    EXPECT_FALSE(StopMusic());
    EXPECT_FALSE(FreeMusic());
}

TEST_F(ModuleTest, TruncatedModuleNeverHangsTheTimeline)
{
    // The player loads a module cut short; whatever it makes of it, the position
    // must reach the end instead of stalling or looping.
    const std::vector<uint8_t> module = BuildMiniS3m({.orders = 4, .rowsPerOrder = 8});
    for (size_t cut : {module.size() - 40, module.size() / 2, size_t(0x70)}) {
        std::vector<uint8_t> truncated(module.begin(), module.begin() + cut);
        ASSERT_TRUE(UseVirtualClock(nullptr));
        if (LoadMusic(truncated.data(), uint32_t(truncated.size()))) {
            StartMusic(1);
            for (int i = 0; i < 500 && MusicPosition.order != MusicEndOrder; i++) {
                AdvanceVirtualClock();
                UpdateMusicPosition();
            }
            EXPECT_EQ(MusicPosition.order, MusicEndOrder) << "cut at " << cut;
        }
        FinishVirtualClock();
        FreeMusic();
        MusicPosition = {0, 0};
    }
}

// The module plays every order in the same time. (The default soundtrack's orders are
// the music tests'.)
void ExpectEvenOrders(const std::vector<uint8_t>& bytes, int orders, double orderSeconds)
{
    ModuleInfo info;
    std::string error;
    ASSERT_TRUE(InspectModule(bytes.data(), bytes.size(), &info, &error)) << error;
    EXPECT_EQ(info.format, "s3m");
    EXPECT_EQ(info.orderCount, orders);
    EXPECT_NEAR(info.lengthSeconds, orders * orderSeconds, 1e-3);
    ASSERT_EQ(info.orderStartSeconds.size(), size_t(orders));
    for (int i = 0; i < orders; i++)
        EXPECT_NEAR(info.orderStartSeconds[i], i * orderSeconds, 1e-3) << "order " << i;
}

TEST(ModuleInfoTest, MiniModule)
{
    // 5 orders of 8 rows at 20 ms; the order list is padded to an even length with an
    // unused entry. The demo's zero-padded buffer gives the same answers.
    std::vector<uint8_t> module = BuildMiniS3m({.orders = 5, .rowsPerOrder = 8});
    ExpectEvenOrders(module, 5, 0.16);
    module.resize(MusicBufferLength, 0);
    ExpectEvenOrders(module, 5, 0.16);
}

}   // namespace
