// The default soundtrack, in A minor at 125 BPM (B minor from the finale on).
//
// The demo's scenes change when the music reaches fixed orders, so the arrangement
// follows the scene list: every scene starts on a new section with a crash or an
// impact, and every section ends in a fill or a cymbal swell.
//
//   orders  0-5   intro: pad swell, roll into a crash at order 1 row 49 (title), soft groove
//   orders  6-11  credits: three 2-order phrases of the credits melody, full beat
//   orders 12-15  travelling tunnel: driving 16ths, galloping bass, pluck arpeggios
//   orders 16-29  four choruses, each singing its lyric line twice, between three
//                 instrumentals
//   orders 30-50  3D part: pulse-lead section, saw-lead section, breakdown, build,
//                 climax chorus, and a fade-out through all of order 50
//   orders 51-62  finale in B minor: chorus variations, bridge, final hit at 62 row 32
//   order  63     outro under the closing picture: fade in rows 0-15, out 24-43
//   order  64     silence (the demo ends as it starts)
//
// Rows are 60 ms: 8 rows a beat, 32 a bar, 64 (two bars) an order. The whole song is
// composed on one absolute row grid and cut into patterns at the end.
#include "genmusic/compose.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "genmusic/synth.h"

namespace {

enum Channel {
    kChKick,
    kChSnare,
    kChHat,
    kChCymbal,
    kChBass,
    kChPad1,
    kChPad2,
    kChPad3,
    kChLead,
    kChArp,
    kChHarmony,
    kChImpact,
};

constexpr int kTotalRows = kSongOrders * kS3mRows;
constexpr int kFinaleFirstOrder = 51;

// Volume-column levels of the mix.
constexpr int kVolKick = 60;
constexpr int kVolSnare = 46;
constexpr int kVolGhost = 18;
constexpr int kVolHat = 24;
constexpr int kVolHatSoft = 14;
constexpr int kVolOpenHat = 20;
constexpr int kVolCrash = 38;
constexpr int kVolSwell = 32;
constexpr int kVolTom = 42;
constexpr int kVolBoom = 52;
constexpr int kVolBass = 44;
constexpr int kVolLead = 44;
constexpr int kVolEcho = 16;
constexpr int kVolThird = 22;
constexpr int kVolArp = 20;

enum class Drums { None, Soft, Half, Four, Break, Drive, Hats, BuildA, BuildB };
enum class Bass { None, Long, Pulse8, Octave, Sync, Gallop };
enum class Arp { None, Quarters, Eighths, Sixteenths };
enum class Voice { None, Saw, Pulse };
enum class Harmony { None, Echo, Third };
enum class Fill { None, Snare, Toms, Roll, Stop };
enum class Accent { None, Crash, Impact };

struct OrderPlan {
    const char* chords;   // two chords (one a bar) or four (one a half bar)
    Drums drums;
    Bass bass;
    int pad;   // pad volume, 0 = silent
    Arp arp;
    Voice voice;          // instrument of the melody
    const char* melody;   // 16 eighth-note tokens, see WriteMelody
    int melodyShift;      // semitones added to the melody
    Harmony harmony;
    Fill fill;
    Accent accent;   // at row 0
    bool swell;      // reverse crash peaking at the next order's row 0
};

// Melodies, one order (two bars, 16 eighths) a string.
const char* const kIntroA = "- - - - E5 - D5 - C5 - - - A4 - - -";
const char* const kIntroB = ". . . . G5 - E5 - D5 - - - - - . .";
const char* const kIntroC = "A5 - - - G5 - E5 - F5 - - - E5 - C5 -";
const char* const kIntroD = "E5 - - - D5 - C5 - D5 - - - - - . .";
const char* const kCredits1 = "A4 - C5 - F5 - E5 - D5 - - - B4 - G4 -";
const char* const kCredits2 = "A4 - - - - - . . E5 D5 C5 B4 C5 - A4 -";
const char* const kCredits3 = "A4 - C5 - F5 - G5 - G5 - - - D5 - B4 -";
const char* const kCredits4 = "C5 - E5 - G5 - E5 - G#5 - - - E5 - B4 -";
const char* const kCredits5 = "A5 - - - G5 - F5 - G5 - - - D5 - B4 -";
const char* const kCredits6 = "C5 - B4 - A4 - - - B4 - - - G#4 - E4 -";
const char* const kRiff1 = "A5 - - G5 - - F5 - G5 - - D5 - - B4 -";
const char* const kRiff2 = "C6 - - B5 - - A5 - B5 - - - G#5 - E5 -";
const char* const kChorus1 = "E5 - E5 D5 C5 - D5 E5 F5 - E5 - C5 - - .";
const char* const kChorus2 = "G5 - E5 - C5 - D5 E5 D5 - - C5 B4 - G4 .";
// The four lyric sections sing their line twice on the chorus contour, one note per
// syllable: "made of light and numbers", "falling through the night", "every colour
// in its time", "the music ends, the pattern stays".
const char* const kLyric1A = "E5 - E5 C5 - - D5 E5 F5 - - - - - . .";
const char* const kLyric1B = "G5 - E5 C5 - - D5 E5 D5 - - - - - . .";
const char* const kLyric2A = "E5 - E5 C5 - - D5 - F5 - - - E5 - . .";
const char* const kLyric2B = "G5 - E5 C5 - - D5 - D5 - - - B4 - . .";
const char* const kLyric3A = "E5 E5 D5 C5 - D5 E5 - F5 - - - - - . .";
const char* const kLyric3B = "G5 G5 E5 C5 - D5 E5 - D5 - - - - - . .";
const char* const kLyric4A = "C5 E5 - D5 C5 - D5 E5 F5 - E5 - - - . .";
const char* const kLyric4B = "C5 G5 - E5 C5 - D5 E5 D5 - B4 - - - . .";
const char* const kScene7A = "D5 - F5 - A5 - G5/F5 - G5 - - - B4 - D5 -";
const char* const kScene7B = "E5 - G5 - C6 - B5/A5 - G#5 - - - - - . .";
const char* const kPulse1 = "E5 - - - D5 - C5 - D5 - - - B4 - G4 -";
const char* const kPulse2 = "C5 - - - A4 - F4 - G#4 - - - B4 - E5 -";
const char* const kPulse3 = "A5 - - - G5 - E5 - D5 - - - B4 - D5 -";
const char* const kPulse4 = "C5 - A4 - C5 - F5 - E5 - - - - - . .";
const char* const kSaw1 = "C6 - - B5 - - A5 - B5 - - G5 - - D5 -";
const char* const kSaw2 = "C6 - - - E5 - A5 - A5 - - - - - . .";
const char* const kSaw3 = "C6 - - B5 - - A5 - B5 - - D6 - - B5 -";
const char* const kSaw4 = "G#5 - - - E5 - - - B4 - - - G#4 - . .";
const char* const kCalm1 = "F5 - - - - - - - A5 - - - - - G5 -";
const char* const kCalm2 = "E5 - - - - - - - D5 - - - - - - -";
const char* const kCalm3 = "F5 - - - - - A5 - C6 - - - - - A5 -";
const char* const kCalm4 = "G#5 - - - - - - - B5 - - - - - . .";
const char* const kFinaleRise = "A5 - - - C6 - - - B5 - - - D6 - - -";
const char* const kCadence = "B5 - - - G#5 - E5 - A5 - - - - - - -";

// clang-format off
const OrderPlan kPlan[kSongOrders] = {
    // chords    drums          bass          pad arp              voice          melody      shift harmony          fill         accent          swell
    // Scene 1: intro (order 0 and 1 are finished by IntroOrders)
    {"Am Am",   Drums::None,   Bass::None,    0,  Arp::None,       Voice::None,  nullptr,    0, Harmony::None,  Fill::None,  Accent::Impact, false},  // 0
    {"F G",     Drums::None,   Bass::None,    34, Arp::Quarters,   Voice::None,  nullptr,    0, Harmony::None,  Fill::None,  Accent::None,   false},  // 1
    {"Am F",    Drums::Soft,   Bass::Long,    28, Arp::Eighths,    Voice::Saw,   kIntroA,    0, Harmony::Echo,  Fill::None,  Accent::None,   false},  // 2
    {"C G",     Drums::Soft,   Bass::Long,    28, Arp::Eighths,    Voice::Saw,   kIntroB,    0, Harmony::Echo,  Fill::None,  Accent::None,   false},  // 3
    {"Am F",    Drums::Four,   Bass::Pulse8,  28, Arp::Eighths,    Voice::Saw,   kIntroC,    0, Harmony::Echo,  Fill::None,  Accent::Crash,  false},  // 4
    {"C G",     Drums::Four,   Bass::Pulse8,  28, Arp::Eighths,    Voice::Saw,   kIntroD,    0, Harmony::Echo,  Fill::Snare, Accent::None,   true},   // 5
    // Scene 2: credits, one phrase per name
    {"F G",     Drums::Four,   Bass::Octave,  28, Arp::Sixteenths, Voice::Saw,   kCredits1,  0, Harmony::Echo,  Fill::None,  Accent::Impact, false},  // 6
    {"Am Am",   Drums::Four,   Bass::Octave,  28, Arp::Sixteenths, Voice::Saw,   kCredits2,  0, Harmony::Echo,  Fill::Snare, Accent::None,   false},  // 7
    {"F G",     Drums::Four,   Bass::Octave,  28, Arp::Sixteenths, Voice::Saw,   kCredits3,  0, Harmony::Echo,  Fill::None,  Accent::Crash,  false},  // 8
    {"C E",     Drums::Four,   Bass::Octave,  28, Arp::Sixteenths, Voice::Saw,   kCredits4,  0, Harmony::Echo,  Fill::Snare, Accent::None,   false},  // 9
    {"F G",     Drums::Break,  Bass::Sync,    28, Arp::Sixteenths, Voice::Saw,   kCredits5,  0, Harmony::Third, Fill::None,  Accent::Crash,  false},  // 10
    {"Am E",    Drums::Break,  Bass::Sync,    28, Arp::Sixteenths, Voice::Saw,   kCredits6,  0, Harmony::Third, Fill::Toms,  Accent::None,   true},   // 11
    // Scene 3: travelling tunnel
    {"Dm Am",   Drums::Drive,  Bass::Gallop,  24, Arp::Sixteenths, Voice::None,  nullptr,    0, Harmony::None,  Fill::None,  Accent::Impact, false},  // 12
    {"Dm E",    Drums::Drive,  Bass::Gallop,  24, Arp::Sixteenths, Voice::None,  nullptr,    0, Harmony::None,  Fill::None,  Accent::None,   false},  // 13
    {"F G",     Drums::Drive,  Bass::Gallop,  24, Arp::Sixteenths, Voice::Pulse, kRiff1,     0, Harmony::Echo,  Fill::None,  Accent::Crash,  false},  // 14
    {"Am E",    Drums::Drive,  Bass::Gallop,  24, Arp::Sixteenths, Voice::Pulse, kRiff2,     0, Harmony::Echo,  Fill::Toms,  Accent::None,   true},   // 15
    // Scene 4: chorus 1, lyric line 1
    {"Am F",    Drums::Half,   Bass::Pulse8,  30, Arp::None,       Voice::Saw,   kLyric1A,   0, Harmony::Echo,  Fill::None,  Accent::Crash,  false},  // 16
    {"C G",     Drums::Half,   Bass::Pulse8,  30, Arp::None,       Voice::Saw,   kLyric1B,   0, Harmony::Echo,  Fill::Snare, Accent::None,   false},  // 17
    // Scene 5: instrumental
    {"F G",     Drums::Half,   Bass::Sync,    26, Arp::Sixteenths, Voice::None,  nullptr,    0, Harmony::None,  Fill::None,  Accent::Crash,  false},  // 18
    {"Em Am",   Drums::Half,   Bass::Sync,    26, Arp::Sixteenths, Voice::None,  nullptr,    0, Harmony::None,  Fill::Stop,  Accent::None,   true},   // 19
    // Scene 6: chorus 2, lyric line 2
    {"Am F",    Drums::Four,   Bass::Octave,  30, Arp::Eighths,    Voice::Saw,   kLyric2A,   0, Harmony::Echo,  Fill::None,  Accent::Impact, false},  // 20
    {"C G",     Drums::Four,   Bass::Octave,  30, Arp::Eighths,    Voice::Saw,   kLyric2B,   0, Harmony::Echo,  Fill::Snare, Accent::None,   false},  // 21
    // Scene 7: instrumental with the pulse lead
    {"Dm G",    Drums::Break,  Bass::Sync,    26, Arp::Sixteenths, Voice::Pulse, kScene7A,   0, Harmony::Echo,  Fill::None,  Accent::Crash,  false},  // 22
    {"C E",     Drums::Break,  Bass::Sync,    26, Arp::Sixteenths, Voice::Pulse, kScene7B,   0, Harmony::Echo,  Fill::Toms,  Accent::None,   true},   // 23
    // Scene 8: chorus 3 in thirds, lyric line 3
    {"Am F",    Drums::Break,  Bass::Octave,  30, Arp::Eighths,    Voice::Saw,   kLyric3A,   0, Harmony::Third, Fill::None,  Accent::Impact, false},  // 24
    {"C G",     Drums::Break,  Bass::Octave,  30, Arp::Eighths,    Voice::Saw,   kLyric3B,   0, Harmony::Third, Fill::Snare, Accent::None,   false},  // 25
    // Scene 9: instrumental, driving
    {"F Dm",    Drums::Drive,  Bass::Gallop,  26, Arp::Sixteenths, Voice::None,  nullptr,    0, Harmony::None,  Fill::None,  Accent::Crash,  false},  // 26
    {"E E",     Drums::Drive,  Bass::Gallop,  26, Arp::Sixteenths, Voice::None,  nullptr,    0, Harmony::None,  Fill::Roll,  Accent::None,   true},   // 27
    // Scene 10: chorus 4 an octave up in thirds, lyric line 4
    {"Am F",    Drums::Drive,  Bass::Octave,  30, Arp::Sixteenths, Voice::Saw,   kLyric4A,  12, Harmony::Third, Fill::None,  Accent::Impact, false},  // 28
    {"C G",     Drums::Drive,  Bass::Octave,  30, Arp::Sixteenths, Voice::Saw,   kLyric4B,  12, Harmony::Third, Fill::Toms,  Accent::None,   true},   // 29
    // Scene 11: 3D part, descending progression with the pulse lead
    {"Am G",    Drums::Four,   Bass::Octave,  26, Arp::None,       Voice::Pulse, kPulse1,    0, Harmony::Echo,  Fill::None,  Accent::Impact, false},  // 30
    {"F E",     Drums::Four,   Bass::Octave,  26, Arp::None,       Voice::Pulse, kPulse2,    0, Harmony::Echo,  Fill::None,  Accent::None,   false},  // 31
    {"Am G",    Drums::Four,   Bass::Octave,  26, Arp::Eighths,    Voice::Pulse, kPulse3,    0, Harmony::Echo,  Fill::None,  Accent::Crash,  false},  // 32
    {"F E",     Drums::Four,   Bass::Octave,  26, Arp::Eighths,    Voice::Pulse, kPulse4,    0, Harmony::Echo,  Fill::Snare, Accent::None,   true},   // 33
    // Scene 12: saw-lead section
    {"F G",     Drums::Break,  Bass::Sync,    28, Arp::Sixteenths, Voice::Saw,   kSaw1,      0, Harmony::Echo,  Fill::None,  Accent::Impact, false},  // 34
    {"Am Am",   Drums::Break,  Bass::Sync,    28, Arp::Sixteenths, Voice::Saw,   kSaw2,      0, Harmony::Echo,  Fill::None,  Accent::None,   false},  // 35
    {"F G",     Drums::Break,  Bass::Sync,    28, Arp::Sixteenths, Voice::Saw,   kSaw3,      0, Harmony::Echo,  Fill::None,  Accent::Crash,  false},  // 36
    {"E E",     Drums::Break,  Bass::Sync,    28, Arp::Sixteenths, Voice::Saw,   kSaw4,      0, Harmony::Echo,  Fill::Stop,  Accent::None,   false},  // 37
    // Scene 13: breakdown
    {"Dm F",    Drums::None,   Bass::Long,    34, Arp::Eighths,    Voice::Pulse, kCalm1,     0, Harmony::Echo,  Fill::None,  Accent::Impact, false},  // 38
    {"C G",     Drums::None,   Bass::Long,    34, Arp::Eighths,    Voice::Pulse, kCalm2,     0, Harmony::Echo,  Fill::None,  Accent::None,   false},  // 39
    {"Dm F",    Drums::Hats,   Bass::Long,    34, Arp::Eighths,    Voice::Pulse, kCalm3,     0, Harmony::Echo,  Fill::None,  Accent::None,   false},  // 40
    {"E E",     Drums::Hats,   Bass::Long,    34, Arp::Sixteenths, Voice::Pulse, kCalm4,     0, Harmony::Echo,  Fill::None,  Accent::None,   true},   // 41
    // Scene 14: build
    {"Am Am",   Drums::BuildA, Bass::Pulse8,  28, Arp::Sixteenths, Voice::None,  nullptr,    0, Harmony::None,  Fill::None,  Accent::Impact, false},  // 42
    {"F F",     Drums::BuildA, Bass::Pulse8,  28, Arp::Sixteenths, Voice::None,  nullptr,    0, Harmony::None,  Fill::None,  Accent::None,   false},  // 43
    {"G G",     Drums::BuildB, Bass::Pulse8,  30, Arp::Sixteenths, Voice::None,  nullptr,    0, Harmony::None,  Fill::None,  Accent::Crash,  false},  // 44
    {"E E",     Drums::BuildB, Bass::Pulse8,  32, Arp::Sixteenths, Voice::None,  nullptr,    0, Harmony::None,  Fill::Roll,  Accent::None,   true},   // 45
    // Scene 15: climax chorus, then the fade (order 50 is finished by FadeOrder)
    {"Am F",    Drums::Drive,  Bass::Octave,  30, Arp::Sixteenths, Voice::Saw,   kChorus1,   0, Harmony::Third, Fill::None,  Accent::Impact, false},  // 46
    {"C G",     Drums::Drive,  Bass::Octave,  30, Arp::Sixteenths, Voice::Saw,   kChorus2,   0, Harmony::Third, Fill::Snare, Accent::None,   false},  // 47
    {"Am F",    Drums::Drive,  Bass::Gallop,  30, Arp::Sixteenths, Voice::Saw,   kChorus1,  12, Harmony::Third, Fill::None,  Accent::Crash,  false},  // 48
    {"C G",     Drums::Drive,  Bass::Gallop,  30, Arp::Sixteenths, Voice::Saw,   kChorus2,  12, Harmony::Third, Fill::Toms,  Accent::None,   false},  // 49
    {"Am Am",   Drums::None,   Bass::Long,    34, Arp::Eighths,    Voice::Saw,   "A5 - - - - - - - - - - - - - - -", 0, Harmony::Echo, Fill::None, Accent::Impact, false},  // 50
    // Scene 16: finale in B minor
    {"Am F",    Drums::Four,   Bass::Octave,  30, Arp::Sixteenths, Voice::None,  nullptr,    0, Harmony::None,  Fill::None,  Accent::Impact, false},  // 51
    {"C G",     Drums::Four,   Bass::Octave,  30, Arp::Sixteenths, Voice::None,  nullptr,    0, Harmony::None,  Fill::Snare, Accent::None,   false},  // 52
    {"Am F",    Drums::Four,   Bass::Pulse8,  30, Arp::Eighths,    Voice::Saw,   kChorus1,   0, Harmony::Echo,  Fill::None,  Accent::Crash,  false},  // 53
    {"C G",     Drums::Four,   Bass::Pulse8,  30, Arp::Eighths,    Voice::Saw,   kChorus2,   0, Harmony::Echo,  Fill::Snare, Accent::None,   false},  // 54
    {"Am F",    Drums::Break,  Bass::Octave,  30, Arp::Sixteenths, Voice::Saw,   kChorus1,   0, Harmony::Third, Fill::None,  Accent::Crash,  false},  // 55
    {"C G",     Drums::Break,  Bass::Octave,  30, Arp::Sixteenths, Voice::Saw,   kChorus2,   0, Harmony::Third, Fill::Toms,  Accent::None,   false},  // 56
    {"F G",     Drums::Half,   Bass::Sync,    30, Arp::Sixteenths, Voice::Pulse, kCredits3,  0, Harmony::Echo,  Fill::None,  Accent::Crash,  false},  // 57
    {"C E",     Drums::Half,   Bass::Sync,    30, Arp::Sixteenths, Voice::Pulse, kCredits4,  0, Harmony::Echo,  Fill::Roll,  Accent::None,   true},   // 58
    {"Am F",    Drums::Drive,  Bass::Gallop,  32, Arp::Sixteenths, Voice::Saw,   kChorus1,  12, Harmony::Third, Fill::None,  Accent::Impact, false},  // 59
    {"C G",     Drums::Drive,  Bass::Gallop,  32, Arp::Sixteenths, Voice::Saw,   kChorus2,  12, Harmony::Third, Fill::Snare, Accent::None,   false},  // 60
    {"F G",     Drums::Drive,  Bass::Gallop,  32, Arp::Sixteenths, Voice::Saw,   kFinaleRise, 0, Harmony::Third, Fill::Roll, Accent::Crash,  true},   // 61
    {"E Am",    Drums::Four,   Bass::Octave,  32, Arp::Sixteenths, Voice::Saw,   kCadence,   0, Harmony::Third, Fill::None,  Accent::Crash,  false},  // 62
    // Scene 17: outro (finished by OutroOrder); order 64 is silence
    {"Am Am",   Drums::None,   Bass::None,    30, Arp::Quarters,   Voice::None,  nullptr,    0, Harmony::None,  Fill::None,  Accent::None,   false},  // 63
    {"Am Am",   Drums::None,   Bass::None,    0,  Arp::None,       Voice::None,  nullptr,    0, Harmony::None,  Fill::None,  Accent::None,   false},  // 64
};
// clang-format on

struct DrumBar {
    const char* kick;    // 16 sixteenths: 'x' hit
    const char* snare;   // 'x' hit, 'o' ghost
    const char* hat;     // 'x' closed, 'o' soft closed, 'O' open
};

DrumBar DrumPattern(Drums style)
{
    switch (style) {
    case Drums::None: return {"................", "................", "................"};
    case Drums::Soft: return {"x.......x.......", "................", "..o...o...o...o."};
    case Drums::Half: return {"x.........x.....", "........x.......", "o.x.o.x.o.x.o.x."};
    case Drums::Four: return {"x...x...x...x...", "....x.......x...", "..x...x...x...O."};
    case Drums::Break: return {"x.........x..x..", "....x..o.o..x..o", "x.x.x.x.x.x.x.x."};
    case Drums::Drive: return {"x...x...x...x.x.", "....x.......x...", "ooxoooxoooxoooxo"};
    case Drums::Hats: return {"................", "................", "o.o.o.o.o.o.o.o."};
    case Drums::BuildA: return {"x...x...x...x...", "....x.......x...", "..x...x...x...x."};
    case Drums::BuildB: return {"x...x...x...x...", "x.x.x.x.x.x.x.x.", "..x...x...x...x."};
    }
    return {"", "", ""};
}

// ---- The absolute row grid -------------------------------------------------------

std::vector<S3mCell> gGrid;

S3mCell& At(int row, int channel)
{
    return gGrid[static_cast<size_t>(row) * kSongChannels + static_cast<size_t>(channel)];
}

bool InSong(int row) { return row >= 0 && row < kTotalRows; }

void Note(int row, int channel, int midi, int instrument, int volume)
{
    if (!InSong(row))
        return;
    S3mCell& cell = At(row, channel);
    cell.note = S3mNote(midi);
    cell.instrument = static_cast<uint8_t>(instrument);
    cell.volume = static_cast<uint8_t>(std::clamp(volume, 0, 64));
}

void Cut(int row, int channel)
{
    if (!InSong(row))
        return;
    S3mCell& cell = At(row, channel);
    cell.note = kS3mNoteCut;
    cell.instrument = 0;
    cell.volume = kS3mNoVolume;
}

void Clear(int row, int channel)
{
    if (InSong(row))
        At(row, channel) = S3mCell{};
}

bool HasNote(const S3mCell& cell) { return cell.note != kS3mNoNote && cell.note != kS3mNoteCut; }

int MidiOf(uint8_t note) { return ((note >> 4) + 1) * 12 + (note & 15); }

// ---- Harmony ----------------------------------------------------------------------

struct Chord {
    int root;   // pitch class, C = 0
    bool minor;
};

int PitchClass(char letter)
{
    static const int kClasses[7] = {9, 11, 0, 2, 4, 5, 7};   // A..G
    return kClasses[letter - 'A'];
}

std::vector<Chord> ParseChords(const char* text)
{
    std::vector<Chord> chords;
    for (const char* p = text; *p;) {
        if (*p == ' ') {
            ++p;
            continue;
        }
        Chord c{PitchClass(*p++), false};
        if (*p == '#')
            c.root = (c.root + 1) % 12, ++p;
        if (*p == 'b')
            c.root = (c.root + 11) % 12, ++p;
        if (*p == 'm')
            c.minor = true, ++p;
        chords.push_back(c);
    }
    return chords;
}

int Transpose(int order) { return order >= kFinaleFirstOrder ? 2 : 0; }

// The chord sounding at a row (0..63) of an order, transposed.
Chord ChordAt(int order, int row)
{
    std::vector<Chord> chords = ParseChords(kPlan[order].chords);
    Chord c = chords[static_cast<size_t>(row * static_cast<int>(chords.size()) / kS3mRows)];
    c.root = (c.root + Transpose(order)) % 12;
    return c;
}

// The lowest MIDI note of pitch class pc at or above floor.
int Place(int pc, int floor) { return floor + ((pc - floor) % 12 + 12) % 12; }

// Chord tones as a close voicing between G3 and F#4.
void Voicing(const Chord& c, int out[3])
{
    int third = c.minor ? 3 : 4;
    out[0] = Place(c.root, 55);
    out[1] = Place(c.root + third, 55);
    out[2] = Place(c.root + 7, 55);
    std::sort(out, out + 3);
}

int BassRoot(const Chord& c) { return Place(c.root, 33); }

// A diatonic third below, in A natural minor moved by `transpose` (G# counts as G).
int ThirdBelow(int midi, int transpose)
{
    static const int kScale[7] = {9, 11, 0, 2, 4, 5, 7};
    int pc = ((midi - transpose) % 12 + 12) % 12;
    int degree = -1;
    for (int d = 0; d < 7; ++d) {
        if (kScale[d] == pc)
            degree = d;
    }
    if (degree < 0) {
        for (int d = 0; d < 7; ++d) {
            if ((kScale[d] + 1) % 12 == pc)
                degree = d;
        }
    }
    int target = kScale[(degree + 5) % 7];
    int down = ((pc - target) % 12 + 12) % 12;
    return midi - down;
}

// ---- Parts --------------------------------------------------------------------------

int ParseNote(const std::string& token)
{
    int pc = PitchClass(token[0]);
    size_t i = 1;
    if (token[i] == '#')
        pc += 1, ++i;
    if (token[i] == 'b')
        pc -= 1, ++i;
    int octave = token[i] - '0';
    return (octave + 1) * 12 + pc;
}

// Melody tokens are eighths (4 rows): a note name ("E5", "G#4", "Bb4"), "-" to hold,
// "." to rest, or "X/Y" for two sixteenths. Held notes of 12 rows or more get vibrato
// from their seventh row on.
void WriteMelody(int start, const char* text, int instrument, int shift)
{
    struct Event {
        int row;
        int midi;   // -1 rest
    };
    std::vector<Event> events;
    int row = start;
    std::string token;
    for (const char* p = text;; ++p) {
        if (*p == ' ' || *p == '\0') {
            if (!token.empty()) {
                if (token == ".") {
                    events.push_back({row, -1});
                } else if (token != "-") {
                    size_t slash = token.find('/');
                    if (slash == std::string::npos) {
                        events.push_back({row, ParseNote(token)});
                    } else {
                        events.push_back({row, ParseNote(token.substr(0, slash))});
                        events.push_back({row + 2, ParseNote(token.substr(slash + 1))});
                    }
                }
                row += 4;
                token.clear();
            }
            if (*p == '\0')
                break;
        } else {
            token += *p;
        }
    }
    const int end = start + kS3mRows;
    for (size_t i = 0; i < events.size(); ++i) {
        const Event& e = events[i];
        int next = i + 1 < events.size() ? events[i + 1].row : end;
        if (e.midi < 0) {
            Cut(e.row, kChLead);
            continue;
        }
        Note(e.row, kChLead, e.midi + shift, instrument, kVolLead);
        for (int r = e.row + 6; next - e.row >= 12 && r < next; ++r) {
            At(r, kChLead).command = S3mCommand('U');
            At(r, kChLead).info = 0x63;
        }
    }
}

// The MIDI note still sounding on a channel just before `row`, -1 when silent.
int SoundingNote(int row, int channel)
{
    for (int r = row - 1; r >= 0; --r) {
        const S3mCell& cell = At(r, channel);
        if (cell.note == kS3mNoteCut)
            return -1;
        if (cell.note != kS3mNoNote)
            return MidiOf(cell.note);
    }
    return -1;
}

// Pad chords on three channels. A channel whose note belongs to the next chord keeps
// sounding (common tones are held, not struck again); the other tones go to the
// remaining channels.
void WritePad(int order)
{
    const OrderPlan& plan = kPlan[order];
    int base = order * kS3mRows;
    if (plan.pad == 0) {
        for (int ch = kChPad1; ch <= kChPad3; ++ch)
            Cut(base, ch);
        return;
    }
    int count = static_cast<int>(ParseChords(plan.chords).size());
    for (int seg = 0; seg < count; ++seg) {
        int row = seg * kS3mRows / count;
        int tones[3];
        Voicing(ChordAt(order, row), tones);
        bool placed[3] = {false, false, false};
        bool kept[3] = {false, false, false};
        for (int k = 0; k < 3; ++k) {
            int sounding = SoundingNote(base + row, kChPad1 + k);
            for (int t = 0; t < 3; ++t) {
                if (!placed[t] && tones[t] == sounding)
                    placed[t] = kept[k] = true;
            }
        }
        for (int k = 0; k < 3; ++k) {
            if (kept[k])
                continue;
            for (int t = 0; t < 3; ++t) {
                if (placed[t])
                    continue;
                placed[t] = true;
                Note(base + row, kChPad1 + k, tones[t], kInsPad, plan.pad * 85 / 100);
                break;
            }
        }
    }
}

void WriteBass(int order)
{
    const OrderPlan& plan = kPlan[order];
    int base = order * kS3mRows;
    if (plan.bass == Bass::None) {
        Cut(base, kChBass);
        return;
    }
    for (int row = 0; row < kS3mRows; ++row) {
        Chord c = ChordAt(order, row);
        int root = BassRoot(c);
        int inBar = row % 32;
        bool chordStart = row == 0 || ChordAt(order, row - 1).root != c.root;
        switch (plan.bass) {
        case Bass::None: break;
        case Bass::Long:
            if (chordStart)
                Note(base + row, kChBass, root, kInsBass, kVolBass);
            break;
        case Bass::Pulse8:
            if (row % 4 == 0)
                Note(base + row, kChBass, root, kInsBass, row % 8 == 0 ? kVolBass : kVolBass - 8);
            if (row % 4 == 3)
                Cut(base + row, kChBass);
            break;
        case Bass::Octave:
            if (row % 4 == 0)
                Note(base + row, kChBass, root + (row % 8 == 4 ? 12 : 0), kInsBass, kVolBass);
            if (row % 4 == 3)
                Cut(base + row, kChBass);
            break;
        case Bass::Sync: {
            static const int kHits[6] = {0, 6, 12, 16, 22, 28};
            static const int kOffsets[6] = {0, 0, 12, 0, 0, 7};
            for (int k = 0; k < 6; ++k) {
                if (inBar == kHits[k])
                    Note(base + row, kChBass, root + kOffsets[k], kInsBass, kVolBass);
                if (inBar == kHits[k] + 4)
                    Cut(base + row, kChBass);
            }
            break;
        }
        case Bass::Gallop:
            if (row % 2 == 0) {
                int offset = row % 8 == 6 ? 12 : 0;
                Note(base + row, kChBass, root + offset, kInsBass, row % 8 == 0 ? kVolBass : kVolBass - 10);
            }
            break;
        }
    }
}

void WriteArp(int order)
{
    const OrderPlan& plan = kPlan[order];
    int base = order * kS3mRows;
    int step = plan.arp == Arp::Quarters ? 8 : plan.arp == Arp::Eighths ? 4 : plan.arp == Arp::Sixteenths ? 2 : 0;
    if (step == 0)
        return;
    static const int kShape[8] = {0, 1, 2, 3, 4, 3, 2, 1};   // up and down over the chord
    for (int row = 0; row < kS3mRows; row += step) {
        Chord c = ChordAt(order, row);
        int third = c.minor ? 3 : 4;
        int low = Place(c.root, 57);
        int tones[5] = {low, low + third, low + 7, low + 12, low + 12 + third};
        int index = kShape[(row / step) % 8];
        int volume = row % 8 == 0 ? kVolArp + 6 : kVolArp;
        Note(base + row, kChArp, tones[index], kInsPluck, volume);
    }
}

void WriteDrums(int order)
{
    const OrderPlan& plan = kPlan[order];
    int base = order * kS3mRows;
    DrumBar bar = DrumPattern(plan.drums);
    NoiseSource hatJitter{0x85EBCA6Bu + static_cast<uint32_t>(order)};
    for (int row = 0; row < kS3mRows; row += 2) {
        int slot = (row % 32) / 2;
        int at = base + row;
        if (bar.kick[slot] == 'x')
            Note(at, kChKick, 60, kInsKick, kVolKick);
        if (bar.snare[slot] == 'x')
            Note(at, kChSnare, 60, kInsSnare, kVolSnare);
        if (bar.snare[slot] == 'o')
            Note(at, kChSnare, 60, kInsSnare, kVolGhost);
        // Closed hats vary by up to ±3 in volume, the same on every run.
        int jitter = static_cast<int>(std::floor(hatJitter.Next() * 3.0 + 0.5));
        if (bar.hat[slot] == 'x')
            Note(at, kChHat, 60, kInsClosedHat, kVolHat + jitter);
        if (bar.hat[slot] == 'o')
            Note(at, kChHat, 60, kInsClosedHat, kVolHatSoft + jitter);
        if (bar.hat[slot] == 'O')
            Note(at, kChHat, 60, kInsOpenHat, kVolOpenHat);
        // Off-beat sixteenths of the hats come one tick (20 ms) late: a light shuffle.
        if (slot % 2 == 1 && HasNote(At(at, kChHat))) {
            At(at, kChHat).command = S3mCommand('S');
            At(at, kChHat).info = 0xD1;
        }
    }
    auto clearDrums = [&](int from, int to) {
        for (int r = from; r < to; ++r) {
            Clear(base + r, kChKick);
            Clear(base + r, kChSnare);
            Clear(base + r, kChHat);
        }
    };
    switch (plan.fill) {
    case Fill::None: break;
    case Fill::Snare: {
        clearDrums(48, 64);
        Note(base + 48, kChKick, 60, kInsKick, kVolKick);
        static const int kRows[7] = {48, 52, 54, 56, 58, 60, 62};
        for (int k = 0; k < 7; ++k)
            Note(base + kRows[k], kChSnare, 60, kInsSnare, 30 + 4 * k);
        Note(base + 56, kChKick, 60, kInsKick, kVolKick);
        break;
    }
    case Fill::Toms: {
        clearDrums(48, 64);
        static const int kPitches[8] = {69, 67, 64, 64, 60, 60, 55, 55};
        for (int k = 0; k < 8; ++k)
            Note(base + 48 + 2 * k, kChImpact, kPitches[k], kInsTom, kVolTom);
        Note(base + 48, kChKick, 60, kInsKick, kVolKick);
        Note(base + 56, kChSnare, 60, kInsSnare, kVolSnare);
        Note(base + 62, kChSnare, 60, kInsSnare, kVolSnare);
        break;
    }
    case Fill::Roll: {
        clearDrums(32, 64);
        for (int r = 32; r < 64; r += (r < 48 ? 2 : 1)) {
            Note(base + r, kChSnare, 60, kInsSnare, 18 + (r - 32) * 38 / 31);
        }
        for (int r = 32; r < 64; r += 8)
            Note(base + r, kChKick, 60, kInsKick, kVolKick);
        break;
    }
    case Fill::Stop:
        clearDrums(56, 64);
        Cut(base + 56, kChHat);
        break;
    }
}

void WriteAccent(int order)
{
    const OrderPlan& plan = kPlan[order];
    int base = order * kS3mRows;
    if (plan.accent != Accent::None) {
        Note(base, kChCymbal, 60, kInsCrash, kVolCrash);
        if (At(base, kChKick).note == kS3mNoNote)
            Note(base, kChKick, 60, kInsKick, kVolKick);
    }
    if (plan.accent == Accent::Impact)
        Note(base, kChImpact, 60, kInsBoom, kVolBoom);
    if (plan.swell)
        Note(base + 48, kChCymbal, 60, kInsReverseCrash, kVolSwell);
}

// Echo: the lead a dotted eighth later and quieter; third: the lead a diatonic third
// lower at the same time.
void WriteHarmony(int order)
{
    const OrderPlan& plan = kPlan[order];
    int base = order * kS3mRows;
    if (plan.harmony == Harmony::None) {
        if (order == 1)
            return;   // the title's echo is written by IntroOrders
        for (int r = base; r < base + 6; ++r)
            Clear(r, kChHarmony);
        Cut(base, kChHarmony);
        return;
    }
    for (int row = base; row < base + kS3mRows; ++row) {
        const S3mCell lead = At(row, kChLead);
        if (plan.harmony == Harmony::Echo) {
            int to = row + 6;
            if (!InSong(to))
                continue;
            S3mCell& cell = At(to, kChHarmony);
            if (HasNote(lead)) {
                cell = lead;
                cell.volume = kVolEcho;
            } else if (lead.note == kS3mNoteCut) {
                Cut(to, kChHarmony);
            }
            if (lead.command != 0) {
                cell.command = lead.command;
                cell.info = lead.info;
            }
        } else {
            S3mCell& cell = At(row, kChHarmony);
            cell = lead;
            if (HasNote(lead)) {
                cell.note = S3mNote(ThirdBelow(MidiOf(lead.note), Transpose(order)));
                cell.volume = kVolThird;
            }
        }
    }
}

// ---- Volume shaping -----------------------------------------------------------------

// Scales the volume of `channel` over rows [from, to) by a factor going linearly
// from fromPercent to toPercent: notes get scaled volumes, held notes get a volume
// column every second row.
void ShapeVolume(int channel, int from, int to, int fromPercent, int toPercent)
{
    int level = 64;
    for (int r = from - 1; r >= 0; --r) {
        const S3mCell& cell = At(r, channel);
        if (cell.note == kS3mNoteCut)
            break;
        if (cell.volume != kS3mNoVolume) {
            level = cell.volume;
            break;
        }
    }
    for (int r = from; r < to && r < kTotalRows; ++r) {
        S3mCell& cell = At(r, channel);
        int percent = fromPercent + (toPercent - fromPercent) * (r - from) / std::max(1, to - from - 1);
        if (cell.volume != kS3mNoVolume)
            level = cell.volume;
        else if (HasNote(cell))
            level = 64;
        bool write = HasNote(cell) || cell.volume != kS3mNoVolume || (r - from) % 2 == 0;
        if (cell.note == kS3mNoteCut)
            write = false;
        if (write)
            cell.volume = static_cast<uint8_t>((level * percent + 50) / 100);
    }
}

void ShapeAll(int from, int to, int fromPercent, int toPercent)
{
    for (int ch = 0; ch < kSongChannels; ++ch)
        ShapeVolume(ch, from, to, fromPercent, toPercent);
}

// Loudness of each order in percent of the mix levels, applied to every note that
// starts in it: quiet intro and breakdown, full climax and final choruses.
int Dynamics(int order)
{
    if (order == 1)
        return 100;
    if (order <= 3)
        return 72;
    if (order <= 5)
        return 84;
    if (order >= 38 && order <= 39)
        return 58;
    if (order >= 40 && order <= 41)
        return 68;
    if (order >= 46 && order <= 49)
        return 100;
    if (order >= 59 && order <= 62)
        return 100;
    if (order == 63)
        return 100;
    return 88;
}

void ApplyDynamics(int order)
{
    int percent = Dynamics(order);
    for (int r = order * kS3mRows; r < (order + 1) * kS3mRows; ++r) {
        for (int ch = 0; ch < kSongChannels; ++ch) {
            S3mCell& cell = At(r, ch);
            if (HasNote(cell) && cell.volume != kS3mNoVolume) {
                cell.volume = static_cast<uint8_t>((cell.volume * percent + 50) / 100);
            }
        }
    }
}

// ---- Sections written by hand ------------------------------------------------------

// Orders 0 and 1: the pad swells in, a cymbal swell and a snare roll climb to the
// title's entry at order 1 row 49, where crash, impact, bass and lead enter on A minor.
void IntroOrders()
{
    int tones[3];
    Voicing(Chord{9, true}, tones);
    for (int k = 0; k < 3; ++k)
        Note(0, kChPad1 + k, tones[k], kInsPad, 36);
    ShapeVolume(kChPad1, 0, 64, 8, 100);
    ShapeVolume(kChPad2, 0, 64, 8, 100);
    ShapeVolume(kChPad3, 0, 64, 8, 100);
    At(0, kChCymbal) = S3mCell{};
    At(0, kChKick) = S3mCell{};
    for (int r = 32; r < 64; r += 8)
        Note(r, kChArp, r % 16 == 0 ? 76 : 72, kInsPluck, 10 + (r - 32) / 4);

    const int title = 64 + 49;
    for (int r = 64 + 40; r < 128; ++r)
        Clear(r, kChArp);
    Note(title - 16, kChCymbal, 60, kInsReverseCrash, kVolSwell - 8);
    for (int r = 64 + 40; r < title; ++r)
        Note(r, kChSnare, 60, kInsSnare, 12 + (r - 104) * 3);
    Note(title, kChCymbal, 60, kInsCrash, 64);
    Note(title, kChImpact, 60, kInsBoom, 64);
    Note(title, kChKick, 60, kInsKick, kVolKick);
    Note(title, kChBass, 33, kInsBass, kVolBass);
    Note(title, kChLead, 81, kInsLead, kVolLead);
    for (int r = title + 6; r < 128; ++r) {
        At(r, kChLead).command = S3mCommand('U');
        At(r, kChLead).info = 0x63;
    }
    Voicing(Chord{9, true}, tones);
    for (int k = 0; k < 3; ++k)
        Note(title, kChPad1 + k, tones[k], kInsPad, 40);
    Note(title + 6, kChHarmony, 81, kInsLead, kVolEcho);
}

// Order 50: a held A minor whose every channel falls to silence over the 64 rows,
// as the picture fades out.
void FadeOrder()
{
    const int base = 50 * kS3mRows;
    ShapeAll(base + 1, base + kS3mRows, 100, 0);
    for (int ch = 0; ch < kSongChannels; ++ch)
        Cut(base + kS3mRows - 1, ch);
}

// Order 62: the last cadence; the final chord at row 32 rings out while the picture
// fades from row 32.
void FinalHit()
{
    const int base = 62 * kS3mRows;
    const int hit = base + 32;
    for (int r = hit; r < base + kS3mRows; ++r) {
        for (int ch : {kChKick, kChSnare, kChHat, kChArp})
            Clear(r, ch);
    }
    for (int ch : {kChHat, kChArp})
        Cut(hit, ch);
    Note(hit, kChCymbal, 60, kInsCrash, kVolCrash + 10);
    Note(hit, kChImpact, 60, kInsBoom, kVolBoom + 8);
    Note(hit, kChKick, 60, kInsKick, kVolKick);
    for (int r = hit + 1; r < base + kS3mRows; ++r)
        Clear(r, kChBass);
    Note(hit, kChBass, BassRoot(ChordAt(62, 32)), kInsBass, kVolBass);
    ShapeAll(hit + 8, base + kS3mRows, 100, 15);
}

// Order 63: the closing picture. The pad and a slow pluck line fade in over rows
// 0-15, hold, fade out from row 24 and are silent from row 44.
void OutroOrder()
{
    const int base = 63 * kS3mRows;
    for (int ch = 0; ch < kSongChannels; ++ch)
        Cut(base, ch);
    int tones[3];
    Voicing(ChordAt(63, 0), tones);
    for (int k = 0; k < 3; ++k)
        Note(base, kChPad1 + k, tones[k], kInsPad, 30);
    static const int kLine[5] = {78, 76, 74, 73, 71};   // F#5 E5 D5 C#5 B4
    for (int k = 0; k < 5; ++k)
        Note(base + 4 + 8 * k, kChArp, kLine[k], kInsPluck, 26);
    for (int r = base + 1; r < base + kS3mRows; ++r)
        Clear(r, kChBass), Clear(r, kChHarmony);
    Note(base + 16, kChBass, BassRoot(ChordAt(63, 0)), kInsBass, 30);
    ShapeAll(base, base + 16, 5, 100);
    ShapeAll(base + 24, base + 44, 100, 0);
    for (int ch = 0; ch < kSongChannels; ++ch) {
        for (int r = base + 44; r < base + kS3mRows; ++r)
            Clear(r, ch);
        Cut(base + 44, ch);
    }
}

void SilentOrder()
{
    const int base = 64 * kS3mRows;
    for (int ch = 0; ch < kSongChannels; ++ch) {
        for (int r = base; r < base + kS3mRows; ++r)
            Clear(r, ch);
        Cut(base, ch);
    }
}

}   // namespace

S3mModule ComposeSoundtrack()
{
    gGrid.assign(static_cast<size_t>(kTotalRows) * kSongChannels, S3mCell{});

    for (int order = 0; order < kSongOrders; ++order) {
        const OrderPlan& plan = kPlan[order];
        WritePad(order);
        WriteBass(order);
        WriteArp(order);
        WriteDrums(order);
        if (plan.melody) {
            int instrument = plan.voice == Voice::Pulse ? kInsPulseLead : kInsLead;
            WriteMelody(order * kS3mRows, plan.melody, instrument, plan.melodyShift + Transpose(order));
        } else if (!HasNote(At(order * kS3mRows, kChLead))) {
            Cut(order * kS3mRows, kChLead);
        }
        WriteAccent(order);
    }
    IntroOrders();
    for (int order = 0; order < kSongOrders; ++order)
        WriteHarmony(order);
    for (int order = 0; order < kSongOrders; ++order)
        ApplyDynamics(order);
    FadeOrder();
    FinalHit();
    OutroOrder();
    SilentOrder();

    S3mModule module;
    module.title = "tivrel soundtrack";
    module.channels = kSongChannels;
    module.speed = kSongSpeed;
    module.tempo = kSongTempo;
    module.globalVolume = 64;
    module.masterVolume = 64;
    module.samples = SynthesiseInstruments();
    module.patterns.resize(kSongOrders);
    for (int order = 0; order < kSongOrders; ++order) {
        module.orders.push_back(static_cast<uint8_t>(order));
        for (int row = 0; row < kS3mRows; ++row) {
            for (int ch = 0; ch < kSongChannels; ++ch) {
                module.patterns[static_cast<size_t>(order)].cells[row][ch] = At(order * kS3mRows + row, ch);
            }
        }
    }
    return module;
}
