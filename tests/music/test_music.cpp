// The default soundtrack as the demo meets it: genmusic's module, loaded and rendered
// by libopenmpt the way the audio subsystem plays it (44,100 Hz, 16-bit stereo,
// separation 0, no dither), and checked against the timeline's order/row cues.
#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr size_t kMusicBufferBytes = 1048576;
constexpr int kRate = 44100;
constexpr double kRowSeconds = 0.06;             // speed 3, tempo 125
constexpr double kOrderSeconds = 64 * kRowSeconds;
constexpr int kLastOrder = 64;                   // reported order 65 ends the demo

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs the generator into a fresh file and returns its bytes (empty on failure).
std::vector<uint8_t> Generate(const std::string& name) {
    std::string path = testing::TempDir() + name;
    std::remove(path.c_str());
    std::string command = std::string(TIVREL_BUILD_DIR) + "/genmusic " + path;
    if (std::system(command.c_str()) != 0) return {};
    return ReadFile(path);
}

unsigned Le16(const std::vector<uint8_t>& b, size_t at) { return b[at] | (b[at + 1] << 8); }
unsigned Le32(const std::vector<uint8_t>& b, size_t at) { return Le16(b, at) | (Le16(b, at + 2) << 16); }

openmpt_module* Load(const std::vector<uint8_t>& bytes) {
    return openmpt_module_create_from_memory2(bytes.data(), bytes.size(), openmpt_log_func_silent,
                                              nullptr, openmpt_error_func_ignore, nullptr, nullptr,
                                              nullptr, nullptr);
}

// Mono (left) signal of a render as the demo plays it, in full-scale units: up to
// `seconds` long, or to the end of the song.
std::vector<double> Render(openmpt_module* module, double seconds = 1e9) {
    openmpt_module_set_render_param(module, OPENMPT_MODULE_RENDER_STEREOSEPARATION_PERCENT, 0);
    openmpt_module_set_repeat_count(module, 0);
    openmpt_module_ctl_set_integer(module, "dither", 0);
    std::vector<double> mono;
    std::vector<int16_t> buffer(2 * 4096);
    while (mono.size() < seconds * kRate) {
        size_t got = openmpt_module_read_interleaved_stereo(module, kRate, 4096, buffer.data());
        if (got == 0) break;
        for (size_t i = 0; i < got; ++i) mono.push_back(buffer[2 * i] / 32768.0);
    }
    return mono;
}

struct Level {
    double rms;
    double peak;
    double mean;
};

Level Measure(const std::vector<double>& signal, double fromSeconds, double toSeconds) {
    size_t from = static_cast<size_t>(fromSeconds * kRate);
    size_t to = std::min(signal.size(), static_cast<size_t>(toSeconds * kRate));
    Level level{0.0, 0.0, 0.0};
    if (to <= from) return level;
    double squares = 0.0, sum = 0.0;
    for (size_t i = from; i < to; ++i) {
        squares += signal[i] * signal[i];
        sum += signal[i];
        level.peak = std::max(level.peak, std::fabs(signal[i]));
    }
    level.rms = std::sqrt(squares / static_cast<double>(to - from));
    level.mean = sum / static_cast<double>(to - from);
    return level;
}

double OrderTime(int order, int row = 0) { return order * kOrderSeconds + row * kRowSeconds; }

Level MeasureOrders(const std::vector<double>& signal, int first, int last) {
    return Measure(signal, OrderTime(first), OrderTime(last + 1));
}

double Decibels(double ratio) { return 20.0 * std::log10(ratio); }

// The module is generated once per test process; the full render is made on first use
// only, since CTest runs every test in a process of its own.
class Soundtrack : public testing::Test {
protected:
    static void SetUpTestSuite() {
        bytes_ = new std::vector<uint8_t>(Generate("tivrel_music_a.s3m"));
        if (!bytes_->empty()) module_ = Load(*bytes_);
    }
    static void TearDownTestSuite() {
        if (module_) openmpt_module_destroy(module_);
        delete bytes_;
        delete signal_;
        module_ = nullptr;
        bytes_ = nullptr;
        signal_ = nullptr;
    }
    void SetUp() override {
        ASSERT_FALSE(bytes_->empty()) << "genmusic did not produce a module";
        ASSERT_NE(module_, nullptr) << "libopenmpt rejected the module";
    }

    // The whole song as the demo plays it.
    static const std::vector<double>& Song() {
        if (signal_ == nullptr) {
            openmpt_module* renderer = Load(*bytes_);
            signal_ = new std::vector<double>(Render(renderer));
            openmpt_module_destroy(renderer);
        }
        return *signal_;
    }

    // The song played from an order's first row for a number of orders; index 0 of
    // the result is that order's row 0.
    static std::vector<double> Span(int order, int orders) {
        openmpt_module* renderer = Load(*bytes_);
        openmpt_module_set_position_order_row(renderer, order, 0);
        std::vector<double> s = Render(renderer, orders * kOrderSeconds);
        openmpt_module_destroy(renderer);
        return s;
    }

    // Note events (a pitch, not a cut) in one row of the pattern at a player order.
    static int NotesAt(int order, int row) {
        int pattern = openmpt_module_get_order_pattern(module_, order);
        int channels = openmpt_module_get_num_channels(module_);
        int notes = 0;
        for (int c = 0; c < channels; ++c) {
            int note = openmpt_module_get_pattern_row_channel_command(module_, pattern, row, c,
                                                                      OPENMPT_MODULE_COMMAND_NOTE);
            if (note >= 1 && note <= 120) ++notes;
        }
        return notes;
    }

    static double SecondsAt(int order, int row) {
        return openmpt_module_set_position_order_row(module_, order, row);
    }

    static std::vector<uint8_t>* bytes_;
    static openmpt_module* module_;
    static std::vector<double>* signal_;
};

std::vector<uint8_t>* Soundtrack::bytes_ = nullptr;
openmpt_module* Soundtrack::module_ = nullptr;
std::vector<double>* Soundtrack::signal_ = nullptr;

// ---- The file ----------------------------------------------------------------------

TEST_F(Soundtrack, GeneratorIsDeterministic) {
    std::vector<uint8_t> again = Generate("tivrel_music_b.s3m");
    ASSERT_FALSE(again.empty());
    EXPECT_TRUE(again == *bytes_) << "two runs of genmusic wrote different bytes";
}

TEST_F(Soundtrack, FitsTheDemosMusicBuffer) {
    EXPECT_LE(bytes_->size(), kMusicBufferBytes);
}

// Walks the layout with our own reader: header, order list, every instrument header
// and its sample data, every packed pattern down to its 64 row terminators.
TEST_F(Soundtrack, LayoutIsAValidScreamTracker3Module) {
    const std::vector<uint8_t>& b = *bytes_;
    ASSERT_GE(b.size(), 0x60u);
    EXPECT_EQ(std::string(b.begin() + 0x2C, b.begin() + 0x30), "SCRM");
    EXPECT_EQ(b[0x1C], 0x1A);
    EXPECT_EQ(b[0x1D], 0x10);
    const unsigned orders = Le16(b, 0x20), instruments = Le16(b, 0x22), patterns = Le16(b, 0x24);
    EXPECT_EQ(orders % 2, 0u) << "the order list must have an even length";
    ASSERT_GE(orders, static_cast<unsigned>(kLastOrder + 2));
    for (int i = 0; i <= kLastOrder; ++i) EXPECT_LT(b[0x60 + i], patterns) << "order " << i;
    EXPECT_EQ(b[0x60 + kLastOrder + 1], 0xFF) << "the song must end after order 64";
    EXPECT_EQ(Le16(b, 0x2A), 2u) << "sample data is declared unsigned";

    const size_t pointers = 0x60 + orders;
    for (unsigned i = 0; i < instruments; ++i) {
        size_t header = Le16(b, pointers + 2 * i) * 16;
        ASSERT_LE(header + 0x50, b.size());
        EXPECT_EQ(std::string(b.begin() + header + 0x4C, b.begin() + header + 0x50), "SCRS");
        EXPECT_EQ(b[header], 1) << "instrument " << i << " is a PCM sample";
        size_t data = ((b[header + 0x0D] << 16) | Le16(b, header + 0x0E)) * 16;
        unsigned length = Le32(b, header + 0x10), loopEnd = Le32(b, header + 0x18);
        unsigned flags = b[header + 0x1F];
        size_t bytesPerSample = (flags & 4) ? 2 : 1;
        EXPECT_GT(length, 0u);
        EXPECT_LE(data + length * bytesPerSample, b.size()) << "instrument " << i;
        if (flags & 1) {
            EXPECT_LT(Le32(b, header + 0x14), loopEnd);
            EXPECT_LE(loopEnd, length);
        }
        EXPECT_GT(Le32(b, header + 0x20), 0u) << "C2Spd";
    }
    for (unsigned p = 0; p < patterns; ++p) {
        size_t at = Le16(b, pointers + 2 * instruments + 2 * p) * 16;
        ASSERT_LE(at + 2, b.size());
        size_t end = at + Le16(b, at);
        ASSERT_LE(end, b.size());
        int rows = 0;
        for (size_t i = at + 2; i < end;) {
            uint8_t what = b[i++];
            if (what == 0) {
                ++rows;
                continue;
            }
            EXPECT_LT(what & 31, 12) << "pattern " << p << " uses an unset channel";
            i += ((what & 32) ? 2 : 0) + ((what & 64) ? 1 : 0) + ((what & 128) ? 2 : 0);
        }
        EXPECT_EQ(rows, 64) << "pattern " << p;
    }
}

// A looped sample is heard as data[loopStart..loopEnd) over and over; the step from
// the last sample back to the first must look like the steps on either side of it,
// or every pass clicks.
TEST_F(Soundtrack, SampleLoopsJoinWithoutAStep) {
    const std::vector<uint8_t>& b = *bytes_;
    const unsigned orders = Le16(b, 0x20), instruments = Le16(b, 0x22);
    int looped = 0;
    for (unsigned i = 0; i < instruments; ++i) {
        size_t header = Le16(b, 0x60 + orders + 2 * i) * 16;
        if (!(b[header + 0x1F] & 1)) continue;
        ASSERT_TRUE(b[header + 0x1F] & 4) << "16-bit data expected";
        ++looped;
        size_t data = ((b[header + 0x0D] << 16) | Le16(b, header + 0x0E)) * 16;
        unsigned start = Le32(b, header + 0x14), end = Le32(b, header + 0x18);
        ASSERT_GE(end - start, 3u);
        auto at = [&](unsigned k) { return static_cast<int>(Le16(b, data + 2 * k)) - 32768; };
        int before = std::abs(at(end - 1) - at(end - 2));
        int after = std::abs(at(start + 1) - at(start));
        int join = std::abs(at(start) - at(end - 1));
        EXPECT_LE(join, 2 * std::max(before, after) + 32) << "instrument " << i + 1;
    }
    EXPECT_GE(looped, 4) << "bass, pad and leads are sustained";
}

// ---- Loading and timing --------------------------------------------------------------

TEST_F(Soundtrack, LoadsFromTheZeroPaddedMusicBuffer) {
    std::vector<uint8_t> buffer(kMusicBufferBytes, 0);
    std::copy(bytes_->begin(), bytes_->end(), buffer.begin());
    openmpt_module* padded = Load(buffer);
    ASSERT_NE(padded, nullptr);
    EXPECT_GE(openmpt_module_get_num_orders(padded), kLastOrder + 1);
    EXPECT_DOUBLE_EQ(openmpt_module_get_duration_seconds(padded),
                     openmpt_module_get_duration_seconds(module_));
    openmpt_module_destroy(padded);
}

TEST_F(Soundtrack, LastsFourToFiveMinutes) {
    EXPECT_GE(openmpt_module_get_num_orders(module_), kLastOrder + 1);
    double seconds = openmpt_module_get_duration_seconds(module_);
    EXPECT_GE(seconds, 240.0);
    EXPECT_LE(seconds, 300.0);
}

// Every scene limit is an order boundary, so each order must last exactly 64 rows:
// a pattern break or a speed change would move the scene changes and the fades of
// orders 50, 62 and 63, which are timed by their rows.
TEST_F(Soundtrack, EveryOrderIsSixtyFourSixtyMillisecondRows) {
    for (int order = 0; order <= kLastOrder; ++order) {
        int pattern = openmpt_module_get_order_pattern(module_, order);
        EXPECT_EQ(openmpt_module_get_pattern_num_rows(module_, pattern), 64) << "order " << order;
        EXPECT_NEAR(SecondsAt(order, 0), OrderTime(order), 1e-3) << "order " << order;
    }
    for (int order : {50, 62, 63}) {
        EXPECT_NEAR(SecondsAt(order, 63) - SecondsAt(order, 0), 63 * kRowSeconds, 1e-3) << order;
    }
    EXPECT_NEAR(openmpt_module_get_duration_seconds(module_), OrderTime(kLastOrder + 1), 1e-3);
}

TEST_F(Soundtrack, TitleEntryIsANoteEventAtOrder1Row49) {
    EXPECT_GE(NotesAt(1, 49), 3) << "crash, impact and lead enter with the title";
    for (int row = 41; row < 49; ++row) EXPECT_LT(NotesAt(1, row), NotesAt(1, 49)) << "row " << row;
}

// Scene changes happen at these player orders; each starts on a musical change.
TEST_F(Soundtrack, EverySceneStartsOnAMusicalChange) {
    for (int order : {6, 8, 10, 12, 16, 18, 20, 22, 24, 26, 28, 30, 34, 38, 42, 46, 51, 63}) {
        EXPECT_GE(NotesAt(order, 0), 3) << "order " << order;
    }
}

// ---- The rendered sound ----------------------------------------------------------------

TEST_F(Soundtrack, RenderIsAudibleUnclippedAndCentred) {
    const std::vector<double>& s = Song();
    EXPECT_NEAR(s.size() / static_cast<double>(kRate), OrderTime(kLastOrder + 1), 0.5);
    Level all = Measure(s, 0.0, s.size() / static_cast<double>(kRate));
    EXPECT_GT(all.rms, 0.05) << "barely audible";
    EXPECT_LT(all.peak, 0.97) << "too close to full scale";
    EXPECT_LT(std::fabs(all.mean), 0.002) << "DC offset";
    for (int order = 0; order < kLastOrder - 1; ++order) {
        Level one = MeasureOrders(s, order, order);
        EXPECT_GT(one.rms, 0.01) << "order " << order << " is silent";
        EXPECT_LT(std::fabs(one.mean), 0.01) << "order " << order;
    }
}

TEST_F(Soundtrack, SectionsHaveTheirOwnDynamics) {
    const std::vector<double>& s = Song();
    double intro = MeasureOrders(s, 0, 0).rms;
    double credits = MeasureOrders(s, 6, 11).rms;
    double breakdown = MeasureOrders(s, 38, 39).rms;
    double climax = MeasureOrders(s, 46, 49).rms;
    double finale = MeasureOrders(s, 59, 61).rms;
    EXPECT_GT(Decibels(credits / intro), 6.0);
    EXPECT_GT(Decibels(climax / breakdown), 3.0);
    EXPECT_GT(Decibels(finale / breakdown), 3.0);
}

// Energy of one frequency over a stretch of the signal (Goertzel).
double ToneEnergy(const std::vector<double>& s, double fromSeconds, double toSeconds, double hz) {
    size_t from = static_cast<size_t>(fromSeconds * kRate), to = static_cast<size_t>(toSeconds * kRate);
    double coefficient = 2.0 * std::cos(2.0 * M_PI * hz / kRate);
    double s1 = 0.0, s2 = 0.0;
    for (size_t i = from; i < to; ++i) {
        double s0 = s[i] + coefficient * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return s1 * s1 + s2 * s2 - coefficient * s1 * s2;
}

// The opening bars hold an A minor pad (A3, C4, E4) alone; each chord tone must
// stand well above its neighbouring semitones, which fails if the sample rates
// that tune the instruments are off.
TEST_F(Soundtrack, OpeningChordIsInTune) {
    const std::vector<double> s = Span(0, 1);
    const double from = OrderTime(0, 16), to = OrderTime(0, 32);
    for (double hz : {220.0, 261.63, 329.63}) {
        double tone = ToneEnergy(s, from, to, hz);
        EXPECT_GT(tone, 8.0 * ToneEnergy(s, from, to, hz * 1.05946)) << hz << " Hz";
        EXPECT_GT(tone, 8.0 * ToneEnergy(s, from, to, hz / 1.05946)) << hz << " Hz";
    }
}

TEST_F(Soundtrack, TitleEntryIsHeard) {
    const std::vector<double> s = Span(0, 2);
    double hit = OrderTime(1, 49);
    Level before = Measure(s, hit - 0.25, hit - 0.01);
    Level after = Measure(s, hit + 0.01, hit + 0.25);
    EXPECT_GT(after.rms, 2.0 * before.rms);
}

// Scene 15 fades its picture over order 50, the final scene from order 62 row 32, the
// closing picture in over rows 0-15 of order 63 and out from row 24 (black at 44).
TEST_F(Soundtrack, MusicFollowsTheFades) {
    const std::vector<double> fade = Span(50, 1);
    EXPECT_LT(Measure(fade, OrderTime(0, 48), OrderTime(1)).rms,
              0.25 * Measure(fade, OrderTime(0, 0), OrderTime(0, 16)).rms);
    const std::vector<double> end = Span(62, 2);
    EXPECT_GT(Measure(end, OrderTime(0, 32), OrderTime(0, 40)).peak,
              Measure(end, OrderTime(0, 24), OrderTime(0, 32)).peak);
    EXPECT_GT(Measure(end, OrderTime(1, 16), OrderTime(1, 24)).rms,
              2.0 * Measure(end, OrderTime(1, 0), OrderTime(1, 4)).rms);
    EXPECT_LT(Measure(end, OrderTime(1, 46), OrderTime(2)).peak, 0.001);
}

TEST_F(Soundtrack, LastOrderIsQuiet) {
    const std::vector<double> last = Span(kLastOrder, 1);
    EXPECT_GT(last.size(), static_cast<size_t>(0.9 * kOrderSeconds * kRate));
    EXPECT_LT(Measure(last, 0.0, kOrderSeconds).peak, 0.001);
}

}  // namespace
