// The default soundtrack as the demo meets it: genmusic's module checked as a file,
// against the timeline's order/row cues, and as libopenmpt renders it for the audio
// subsystem (44,100 Hz, 16-bit stereo, separation 0, no dither).
#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/bytes.h"
#include "core/read_file.h"

namespace {

constexpr size_t kMusicBufferBytes = 1048576;
constexpr int kRate = 44100;
constexpr double kRowSeconds = 0.06;   // speed 3, tempo 125
constexpr double kOrderSeconds = 64 * kRowSeconds;
constexpr int kOrders = 65;   // the demo ends when player order 64 is done

double OrderTime(int order, int row = 0) { return order * kOrderSeconds + row * kRowSeconds; }

// Runs the generator into a fresh file and returns its bytes (empty on failure).
std::vector<uint8_t> Generate(const std::string& name)
{
    const std::string path = testing::TempDir() + name;
    std::remove(path.c_str());
    if (std::system((std::string(TIVREL_BUILD_DIR) + "/genmusic " + path).c_str()) != 0)
        return {};
    std::vector<uint8_t> bytes;
    ReadWholeFile(path, SIZE_MAX, &bytes);
    return bytes;
}

unsigned Le16(const std::vector<uint8_t>& b, size_t at) { return ReadLE16(&b[at]); }
unsigned Le32(const std::vector<uint8_t>& b, size_t at) { return ReadLE32(&b[at]); }

openmpt_module* Load(const std::vector<uint8_t>& bytes)
{
    return openmpt_module_create_from_memory2(bytes.data(), bytes.size(), openmpt_log_func_silent, nullptr,
                                              openmpt_error_func_ignore, nullptr, nullptr, nullptr, nullptr);
}

struct Level {
    double rms = 0.0, peak = 0.0, mean = 0.0;
};

Level Measure(const std::vector<double>& signal, double fromSeconds, double toSeconds)
{
    const size_t from = size_t(fromSeconds * kRate);
    const size_t to = std::min(signal.size(), size_t(toSeconds * kRate));
    Level level;
    if (to <= from)
        return level;
    for (size_t i = from; i < to; ++i) {
        level.rms += signal[i] * signal[i];
        level.mean += signal[i];
        level.peak = std::max(level.peak, std::fabs(signal[i]));
    }
    level.rms = std::sqrt(level.rms / double(to - from));
    level.mean /= double(to - from);
    return level;
}

double Decibels(double ratio) { return 20.0 * std::log10(ratio); }

// Energy of one frequency over a stretch of the signal (Goertzel).
double ToneEnergy(const std::vector<double>& s, double fromSeconds, double toSeconds, double hz)
{
    const double coefficient = 2.0 * std::cos(2.0 * M_PI * hz / kRate);
    double s1 = 0.0, s2 = 0.0;
    for (size_t i = size_t(fromSeconds * kRate); i < size_t(toSeconds * kRate); ++i) {
        const double s0 = s[i] + coefficient * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return s1 * s1 + s2 * s2 - coefficient * s1 * s2;
}

// The module is generated once per test process (CTest runs each test in its own).
class Soundtrack : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        bytes_ = Generate("tivrel_music_a.s3m");
        if (!bytes_.empty())
            module_ = Load(bytes_);
    }
    static void TearDownTestSuite()
    {
        if (module_)
            openmpt_module_destroy(module_);
        module_ = nullptr;
    }
    void SetUp() override
    {
        ASSERT_FALSE(bytes_.empty()) << "genmusic did not produce a module";
        ASSERT_NE(module_, nullptr) << "libopenmpt rejected the module";
    }

    // The left channel as the demo plays it from the start, in full-scale units: up
    // to `seconds` long, or to the end of the song.
    static std::vector<double> Render(double seconds = 1e9)
    {
        openmpt_module* renderer = Load(bytes_);
        openmpt_module_set_render_param(renderer, OPENMPT_MODULE_RENDER_STEREOSEPARATION_PERCENT, 0);
        openmpt_module_set_repeat_count(renderer, 0);
        openmpt_module_ctl_set_integer(renderer, "dither", 0);
        std::vector<double> left;
        std::vector<int16_t> buffer(2 * 4096);
        while (left.size() < seconds * kRate) {
            const size_t got = openmpt_module_read_interleaved_stereo(renderer, kRate, 4096, buffer.data());
            if (got == 0)
                break;
            for (size_t i = 0; i < got; ++i)
                left.push_back(buffer[2 * i] / 32768.0);
        }
        openmpt_module_destroy(renderer);
        return left;
    }

    // Note events (a pitch, not a cut) in one row of the pattern at a player order.
    static int NotesAt(int order, int row)
    {
        const int pattern = openmpt_module_get_order_pattern(module_, order);
        int notes = 0;
        for (int c = 0; c < openmpt_module_get_num_channels(module_); ++c) {
            const int note =
                openmpt_module_get_pattern_row_channel_command(module_, pattern, row, c, OPENMPT_MODULE_COMMAND_NOTE);
            notes += note >= 1 && note <= 120;
        }
        return notes;
    }

    static inline std::vector<uint8_t> bytes_;
    static inline openmpt_module* module_ = nullptr;
};

// Walks the layout with our own reader (the player forgives much): header, order
// list, every instrument and its sample data, every packed pattern down to its 64 row
// ends. A looped sample is heard as data[loopStart..loopEnd) over and over: the step
// from its last sample back to the first must look like the steps beside it, or
// every pass clicks.
TEST_F(Soundtrack, LayoutIsAValidScreamTracker3Module)
{
    const std::vector<uint8_t>& b = bytes_;
    ASSERT_GE(b.size(), 0x60u);
    EXPECT_LE(b.size(), kMusicBufferBytes);
    EXPECT_EQ(std::string(b.begin() + 0x2C, b.begin() + 0x30), "SCRM");
    EXPECT_EQ(b[0x1C], 0x1A);
    EXPECT_EQ(b[0x1D], 0x10);
    const unsigned orders = Le16(b, 0x20), instruments = Le16(b, 0x22), patterns = Le16(b, 0x24);
    EXPECT_EQ(orders % 2, 0u) << "the order list must have an even length";
    ASSERT_GE(orders, unsigned(kOrders + 1));
    for (int i = 0; i < kOrders; ++i)
        EXPECT_LT(b[0x60 + i], patterns) << "order " << i;
    EXPECT_EQ(b[0x60 + kOrders], 0xFF) << "the song must end after order 64";
    EXPECT_EQ(Le16(b, 0x2A), 2u) << "sample data is declared unsigned";

    const size_t pointers = 0x60 + orders;
    int looped = 0;
    for (unsigned i = 0; i < instruments; ++i) {
        SCOPED_TRACE("instrument " + std::to_string(i + 1));
        const size_t header = Le16(b, pointers + 2 * i) * 16;
        ASSERT_LE(header + 0x50, b.size());
        EXPECT_EQ(std::string(b.begin() + header + 0x4C, b.begin() + header + 0x50), "SCRS");
        EXPECT_EQ(b[header], 1) << "a PCM sample";
        const size_t data = ((b[header + 0x0D] << 16) | Le16(b, header + 0x0E)) * 16;
        const unsigned length = Le32(b, header + 0x10), loopStart = Le32(b, header + 0x14);
        const unsigned loopEnd = Le32(b, header + 0x18), flags = b[header + 0x1F];
        EXPECT_GT(length, 0u);
        EXPECT_LE(data + length * ((flags & 4) ? 2 : 1), b.size());
        EXPECT_GT(Le32(b, header + 0x20), 0u) << "C2Spd";
        if (!(flags & 1))
            continue;
        ++looped;
        ASSERT_TRUE(flags & 4) << "16-bit data expected";
        ASSERT_LE(loopEnd, length);
        ASSERT_GE(loopEnd - loopStart, 3u);
        auto at = [&](unsigned k) { return int(Le16(b, data + 2 * k)) - 32768; };
        const int before = std::abs(at(loopEnd - 1) - at(loopEnd - 2));
        const int after = std::abs(at(loopStart + 1) - at(loopStart));
        EXPECT_LE(std::abs(at(loopStart) - at(loopEnd - 1)), 2 * std::max(before, after) + 32);
    }
    EXPECT_GE(looped, 4) << "bass, pad and leads are sustained";
    for (unsigned p = 0; p < patterns; ++p) {
        const size_t at = Le16(b, pointers + 2 * instruments + 2 * p) * 16;
        ASSERT_LE(at + 2, b.size());
        const size_t end = at + Le16(b, at);
        ASSERT_LE(end, b.size());
        int rows = 0;
        for (size_t i = at + 2; i < end;) {
            const uint8_t what = b[i++];
            rows += what == 0;
            EXPECT_LT(what & 31, 12) << "pattern " << p << " uses an unset channel";
            i += ((what & 32) ? 2 : 0) + ((what & 64) ? 1 : 0) + ((what & 128) ? 2 : 0);
        }
        EXPECT_EQ(rows, 64) << "pattern " << p;
    }
}

// Every scene limit is an order boundary, so each order must last exactly 64 rows:
// a pattern break or a speed change would move the scene changes and the fades of
// orders 50, 62 and 63, which are timed by their rows.
TEST_F(Soundtrack, EveryOrderIsSixtyFourSixtyMillisecondRows)
{
    EXPECT_EQ(openmpt_module_get_num_orders(module_), kOrders);
    EXPECT_NEAR(openmpt_module_get_duration_seconds(module_), OrderTime(kOrders), 1e-3);
    auto secondsAt = [](int order, int row) { return openmpt_module_set_position_order_row(module_, order, row); };
    for (int order = 0; order < kOrders; ++order) {
        const int pattern = openmpt_module_get_order_pattern(module_, order);
        EXPECT_EQ(openmpt_module_get_pattern_num_rows(module_, pattern), 64) << "order " << order;
        EXPECT_NEAR(secondsAt(order, 0), OrderTime(order), 1e-3) << "order " << order;
    }
    for (int order : {50, 62, 63})
        EXPECT_NEAR(secondsAt(order, 63) - secondsAt(order, 0), 63 * kRowSeconds, 1e-3) << order;
}

// The title enters at order 1 row 49, and every scene change (these player orders)
// falls on a musical change.
TEST_F(Soundtrack, CuesAreNoteEvents)
{
    EXPECT_GE(NotesAt(1, 49), 3) << "crash, impact and lead enter with the title";
    for (int row = 41; row < 49; ++row)
        EXPECT_LT(NotesAt(1, row), NotesAt(1, 49)) << "row " << row;
    for (int order : {6, 8, 10, 12, 16, 18, 20, 22, 24, 26, 28, 30, 34, 38, 42, 46, 51, 63})
        EXPECT_GE(NotesAt(order, 0), 3) << "order " << order;
}

// The opening bars hold an A minor pad (A3, C4, E4) alone; each chord tone must stand
// well above its neighbouring semitones, which fails if the sample rates that tune
// the instruments are off.
TEST_F(Soundtrack, OpeningChordIsInTune)
{
    const std::vector<double> s = Render(OrderTime(1));
    const double from = OrderTime(0, 16), to = OrderTime(0, 32);
    for (double hz : {220.0, 261.63, 329.63}) {
        const double tone = ToneEnergy(s, from, to, hz);
        EXPECT_GT(tone, 8.0 * ToneEnergy(s, from, to, hz * 1.05946)) << hz << " Hz";
        EXPECT_GT(tone, 8.0 * ToneEnergy(s, from, to, hz / 1.05946)) << hz << " Hz";
    }
}

// The whole song: audible, unclipped and centred in every order, sections with their
// own dynamics, and the cues heard. Scene 15 fades its picture over order 50, the final
// scene from order 62 row 32, the closing picture in over rows 0-15 of order 63 and
// out from row 24 (black at 44); order 64 is silence the demo still waits through.
TEST_F(Soundtrack, LevelsFollowTheScenes)
{
    const std::vector<double> s = Render();
    EXPECT_NEAR(s.size() / double(kRate), OrderTime(kOrders), 0.5);
    const Level all = Measure(s, 0.0, OrderTime(kOrders));
    EXPECT_GT(all.rms, 0.05) << "barely audible";
    EXPECT_LT(all.peak, 0.97) << "too close to full scale";
    EXPECT_LT(std::fabs(all.mean), 0.002) << "DC offset";
    for (int order = 0; order < kOrders - 2; ++order) {
        const Level one = Measure(s, OrderTime(order), OrderTime(order + 1));
        EXPECT_GT(one.rms, 0.01) << "order " << order << " is silent";
        EXPECT_LT(std::fabs(one.mean), 0.01) << "order " << order;
    }
    auto rms = [&](int first, int last) { return Measure(s, OrderTime(first), OrderTime(last + 1)).rms; };
    EXPECT_GT(Decibels(rms(6, 11) / rms(0, 0)), 6.0) << "credits over intro";
    EXPECT_GT(Decibels(rms(46, 49) / rms(38, 39)), 3.0) << "climax over breakdown";
    EXPECT_GT(Decibels(rms(59, 61) / rms(38, 39)), 3.0) << "finale over breakdown";

    auto level = [&](int order, int fromRow, int toRow) {
        return Measure(s, OrderTime(order, fromRow), OrderTime(order, toRow));
    };
    const double title = OrderTime(1, 49);
    EXPECT_GT(Measure(s, title + 0.01, title + 0.25).rms, 2.0 * Measure(s, title - 0.25, title - 0.01).rms);
    EXPECT_LT(level(50, 48, 64).rms, 0.25 * level(50, 0, 16).rms);
    EXPECT_GT(level(62, 32, 40).peak, level(62, 24, 32).peak);
    EXPECT_GT(level(63, 16, 24).rms, 2.0 * level(63, 0, 4).rms);
    EXPECT_LT(Measure(s, OrderTime(63, 46), OrderTime(kOrders)).peak, 0.001);
}

}   // namespace
