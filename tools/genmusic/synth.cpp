// Instrument synthesis: drums from swept sines, noise and detuned square banks;
// tonal instruments by additive synthesis over exact integer periods so that their
// loops join without a click.
#include "genmusic/synth.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kLn2 = 0.69314718055994530942;
constexpr double kMiddleC = 261.6255653005986;   // Hz of C-4 (MIDI 60)
constexpr double kDrumRate = 32000.0;

using Wave = std::vector<double>;

// One-pole low-pass coefficient for cutoff fc at sample rate fs.
double OnePole(double fc, double fs) { return 1.0 - Exp(-2.0 * kPi * fc / fs); }

// Soft saturation: odd rational curve, slope 1 at 0, reaches ±1 at ±3.
double Saturate(double x)
{
    if (x > 3.0)
        return 1.0;
    if (x < -3.0)
        return -1.0;
    return x * (27.0 + x * x) / (27.0 + 9.0 * x * x);
}

double Square(double phase) { return phase - std::floor(phase) < 0.5 ? 1.0 : -1.0; }

// Scales the wave to the given peak and fades its last `tail` samples to zero.
void Finish(Wave& w, double peak, size_t tail)
{
    double maxAbs = 0.0;
    for (double v : w)
        maxAbs = std::max(maxAbs, std::fabs(v));
    if (maxAbs > 0.0) {
        for (double& v : w)
            v *= peak / maxAbs;
    }
    tail = std::min(tail, w.size());
    for (size_t i = 0; i < tail; ++i) {
        w[w.size() - 1 - i] *= static_cast<double>(i) / static_cast<double>(tail);
    }
}

// Removes the mean so no instrument carries a DC offset.
void RemoveMean(Wave& w, size_t from, size_t to)
{
    double sum = 0.0;
    for (size_t i = from; i < to; ++i)
        sum += w[i];
    double mean = sum / static_cast<double>(to - from);
    for (double& v : w)
        v -= mean;
}

S3mSample MakeSample(const char* name, const Wave& w, uint32_t c2spd, bool loop = false, uint32_t loopStart = 0)
{
    S3mSample s;
    s.name = name;
    s.c2spd = c2spd;
    s.loop = loop;
    s.loopStart = loopStart;
    s.loopEnd = static_cast<uint32_t>(w.size());
    s.data.reserve(w.size());
    for (double v : w)
        s.data.push_back(ToPcm(v));
    return s;
}

uint32_t RateForPeriod(int period) { return static_cast<uint32_t>(std::floor(kMiddleC * period + 0.5)); }

// Six detuned square oscillators (a classic metallic cymbal source) plus noise,
// high-passed twice at hp Hz.
Wave Metal(size_t length, double noiseMix, double hp, uint32_t seed)
{
    static const double kFreqs[6] = {205.3, 304.4, 369.6, 522.7, 540.0, 800.0};
    NoiseSource noise{seed};
    Wave w(length);
    double phase[6] = {0.11, 0.37, 0.59, 0.23, 0.71, 0.05};
    double a = OnePole(hp, kDrumRate);
    double low1 = 0.0, low2 = 0.0, smooth = 0.0;
    double b = OnePole(12000.0, kDrumRate);
    for (size_t i = 0; i < length; ++i) {
        double metal = 0.0;
        for (int k = 0; k < 6; ++k) {
            phase[k] += kFreqs[k] * 1.6 / kDrumRate;
            metal += Square(phase[k]);
        }
        double x = metal / 6.0 * (1.0 - noiseMix) + noise.Next() * noiseMix;
        low1 += a * (x - low1);
        double h1 = x - low1;
        low2 += a * (h1 - low2);
        double h2 = h1 - low2;
        smooth += b * (h2 - smooth);
        w[i] = smooth;
    }
    return w;
}

Wave Kick()
{
    size_t n = static_cast<size_t>(0.42 * kDrumRate);
    Wave w(n);
    NoiseSource noise{0x9E3779B9u};
    double phase = 0.0, click = 0.0;
    double clickPole = OnePole(3000.0, kDrumRate);
    for (size_t i = 0; i < n; ++i) {
        double t = static_cast<double>(i) / kDrumRate;
        double f = 47.0 + 120.0 * Exp(-t / 0.03) + 260.0 * Exp(-t / 0.004);
        phase += f / kDrumRate;
        double attack = t < 0.002 ? t / 0.002 : 1.0;
        double body = SineTurns(phase) * attack * Exp(-t / 0.2);
        click += clickPole * (noise.Next() - click);
        w[i] = Saturate(1.7 * body + 0.5 * click * Exp(-t / 0.003));
    }
    Finish(w, 0.95, 320);
    return w;
}

Wave Snare()
{
    size_t n = static_cast<size_t>(0.32 * kDrumRate);
    Wave w(n);
    NoiseSource noise{0x2545F491u};
    double lowCut = 0.0, highCut = 0.0;
    double a = OnePole(900.0, kDrumRate), b = OnePole(7500.0, kDrumRate);
    double p1 = 0.0, p2 = 0.0;
    for (size_t i = 0; i < n; ++i) {
        double t = static_cast<double>(i) / kDrumRate;
        p1 += (180.0 + 40.0 * Exp(-t / 0.01)) / kDrumRate;
        p2 += 330.0 / kDrumRate;
        double tone = 0.65 * SineTurns(p1) * Exp(-t / 0.05) + 0.3 * SineTurns(p2) * Exp(-t / 0.035);
        double x = noise.Next();
        lowCut += a * (x - lowCut);
        highCut += b * ((x - lowCut) - highCut);
        double rattle = highCut * Exp(-t / 0.09) * 1.4;
        w[i] = Saturate(1.2 * (tone + rattle));
    }
    Finish(w, 0.95, 320);
    return w;
}

Wave Hat(double seconds, double decay, uint32_t seed)
{
    size_t n = static_cast<size_t>(seconds * kDrumRate);
    Wave w = Metal(n, 0.45, 6500.0, seed);
    for (size_t i = 0; i < n; ++i) {
        double t = static_cast<double>(i) / kDrumRate;
        w[i] *= Exp(-t / decay) * (t < 0.0008 ? t / 0.0008 : 1.0);
    }
    Finish(w, 0.9, 200);
    return w;
}

Wave Crash()
{
    size_t n = static_cast<size_t>(1.8 * kDrumRate);
    Wave w = Metal(n, 0.6, 3200.0, 0x6A09E667u);
    for (size_t i = 0; i < n; ++i) {
        double t = static_cast<double>(i) / kDrumRate;
        w[i] *= 0.75 * Exp(-t / 0.5) + 0.25 * Exp(-t / 0.06);
    }
    Finish(w, 0.9, 1600);
    return w;
}

// A cymbal swell: crash-like noise whose envelope rises over 0.96 s and stops on its
// peak, so a note started 16 rows (60 ms each) early peaks on the downbeat.
Wave ReverseCrash()
{
    size_t n = static_cast<size_t>(0.96 * kDrumRate);
    Wave w = Metal(n, 0.7, 2500.0, 0xBB67AE85u);
    for (size_t i = 0; i < n; ++i) {
        double t = static_cast<double>(i) / kDrumRate;
        double remaining = 0.96 - t;
        w[i] *= Exp(-remaining / 0.3);
    }
    Finish(w, 0.9, 40);
    return w;
}

Wave Tom()
{
    size_t n = static_cast<size_t>(0.4 * kDrumRate);
    Wave w(n);
    NoiseSource noise{0x3C6EF372u};
    double phase = 0.0, soft = 0.0;
    double a = OnePole(2500.0, kDrumRate);
    for (size_t i = 0; i < n; ++i) {
        double t = static_cast<double>(i) / kDrumRate;
        phase += 98.0 * (1.0 + 0.5 * Exp(-t / 0.05)) / kDrumRate;
        soft += a * (noise.Next() - soft);
        w[i] = Saturate(1.3 * SineTurns(phase) * Exp(-t / 0.16) + 0.5 * soft * Exp(-t / 0.02));
    }
    Finish(w, 0.95, 320);
    return w;
}

// A low impact for big entries: a slow downward sine sweep.
Wave Boom()
{
    const double rate = 16000.0;
    size_t n = static_cast<size_t>(1.8 * rate);
    Wave w(n);
    double phase = 0.0;
    for (size_t i = 0; i < n; ++i) {
        double t = static_cast<double>(i) / rate;
        phase += (34.0 + 46.0 * Exp(-t / 0.22)) / rate;
        double attack = t < 0.004 ? t / 0.004 : 1.0;
        w[i] = Saturate(1.5 * SineTurns(phase) * attack * Exp(-t / 0.6));
    }
    Finish(w, 0.95, 800);
    return w;
}

// Sine table of one period of `size` samples: table[i] = sin(2π i / size).
std::vector<double> SineTable(int size)
{
    std::vector<double> table(static_cast<size_t>(size));
    for (int i = 0; i < size; ++i)
        table[static_cast<size_t>(i)] = SineTurns(static_cast<double>(i) / size);
    return table;
}

// Bass: a 128-sample period (C-4 at 33,488 Hz). The first 24 periods close a
// resonant low-pass from harmonic 24 down to about 3.7; the last period loops.
S3mSample Bass()
{
    const int period = 128;
    const int attackPeriods = 24;
    std::vector<double> table = SineTable(period);
    const int length = period * (attackPeriods + 1);
    const double settle = 900.0;
    const double endCutoff = 3.0 + 21.0 * Exp(-static_cast<double>(period * attackPeriods) / settle);
    Wave w(static_cast<size_t>(length));
    for (int n = 0; n < length; ++n) {
        double cutoff = n < period * attackPeriods ? 3.0 + 21.0 * Exp(-n / settle) : endCutoff;
        double sum = 0.0;
        for (int h = 1; h < 40; ++h) {
            double r = h / cutoff;
            double res = (h - cutoff) / 1.3;
            double amp = (1.0 / h) / (1.0 + r * r * r * r) * (1.0 + 0.9 * Exp(-res * res));
            if (h == 1)
                amp += 0.6;
            sum += amp * table[static_cast<size_t>((h * n) % period)];
        }
        w[static_cast<size_t>(n)] = sum;
    }
    Finish(w, 0.9, 0);
    return MakeSample("bass", w, RateForPeriod(period), true, static_cast<uint32_t>(period * attackPeriods));
}

// Sum of detuned voices over one loop of `loop` samples: voice v completes
// cycles[v] periods per loop, harmonic h of it has amplitude amps(h).
template <typename Amplitude>
Wave DetunedLoop(int loop, const int* cycles, const double* gains, int voices, int harmonics, Amplitude amps)
{
    std::vector<double> table = SineTable(loop);
    Wave w(static_cast<size_t>(loop), 0.0);
    for (int v = 0; v < voices; ++v) {
        long long offset = static_cast<long long>(v) * 1543;
        for (int h = 1; h <= harmonics; ++h) {
            double a = amps(h) * gains[v];
            if (a == 0.0)
                continue;
            for (int n = 0; n < loop; ++n) {
                long long index = (static_cast<long long>(h) * (cycles[v] * static_cast<long long>(n) + offset)) % loop;
                w[static_cast<size_t>(n)] += a * table[static_cast<size_t>(index)];
            }
        }
    }
    return w;
}

// Pad: three voices 95, 96 and 97 cycles per 6,144-sample loop (about ±18 cents),
// soft saw spectrum; one loop of fade-in in front of the looped copy.
S3mSample Pad()
{
    const int loop = 6144;
    const int cycles[3] = {95, 96, 97};
    const double gains[3] = {0.8, 1.0, 0.8};
    Wave one = DetunedLoop(loop, cycles, gains, 3, 24, [](int h) {
        double r = h / 4.5;
        return (1.0 / h) / (1.0 + r * r);
    });
    Wave w(static_cast<size_t>(2 * loop));
    for (int n = 0; n < loop; ++n) {
        double x = static_cast<double>(n) / loop;
        double rise = x * x * (3.0 - 2.0 * x);
        w[static_cast<size_t>(n)] = one[static_cast<size_t>(n)] * rise;
        w[static_cast<size_t>(n + loop)] = one[static_cast<size_t>(n)];
    }
    RemoveMean(w, static_cast<size_t>(loop), w.size());
    Finish(w, 0.9, 0);
    return MakeSample("pad", w, RateForPeriod(64), true, static_cast<uint32_t>(loop));
}

// Lead: two voices 128 and 129 cycles per 8,192-sample loop, square/saw blend.
S3mSample Lead()
{
    const int loop = 8192;
    const int cycles[2] = {128, 129};
    const double gains[2] = {1.0, 0.85};
    Wave w = DetunedLoop(loop, cycles, gains, 2, 15, [](int h) {
        double r = h / 8.0;
        return (1.0 / h) * (h % 2 == 1 ? 1.0 : 0.45) / (1.0 + r * r);
    });
    Finish(w, 0.9, 0);
    return MakeSample("lead", w, RateForPeriod(64), true, 0);
}

// Pulse lead: 25% pulse spectrum (every fourth harmonic missing), two voices.
S3mSample PulseLead()
{
    const int loop = 8192;
    const int cycles[2] = {128, 130};
    const double gains[2] = {1.0, 0.7};
    Wave w = DetunedLoop(loop, cycles, gains, 2, 18, [](int h) {
        double r = h / 10.0;
        return SineTurns(h * 0.125) / h / (1.0 + r * r);
    });
    Finish(w, 0.9, 0);
    return MakeSample("pulse lead", w, RateForPeriod(64), true, 0);
}

// Pluck: saw harmonics that die away faster the higher they are; not looped.
S3mSample Pluck()
{
    const int period = 64;
    const double rate = static_cast<double>(RateForPeriod(period));
    std::vector<double> table = SineTable(period);
    const int length = static_cast<int>(0.7 * rate);
    Wave w(static_cast<size_t>(length));
    for (int n = 0; n < length; ++n) {
        double t = n / rate;
        double sum = 0.0;
        for (int h = 1; h <= 24; ++h) {
            sum += (1.0 / h) * Exp(-t * (2.0 + 1.8 * h)) * table[static_cast<size_t>((h * n) % period)];
        }
        w[static_cast<size_t>(n)] = sum * Exp(-t / 0.35) * (t < 0.001 ? t / 0.001 : 1.0);
    }
    Finish(w, 0.9, 400);
    return MakeSample("pluck", w, RateForPeriod(period));
}

}   // namespace

double SineTurns(double turns)
{
    double f = turns - std::floor(turns);
    if (f >= 0.5)
        f -= 1.0;
    double x = 2.0 * kPi * f;   // -π..π
    if (x > kPi / 2)
        x = kPi - x;
    if (x < -kPi / 2)
        x = -kPi - x;
    double x2 = x * x;
    double term = x, sum = x;
    for (int k = 1; k <= 9; ++k) {
        term *= -x2 / static_cast<double>((2 * k) * (2 * k + 1));
        sum += term;
    }
    return sum;
}

double Exp(double x)
{
    if (x < -700.0)
        return 0.0;
    double k = std::floor(x / kLn2 + 0.5);
    double r = x - k * kLn2;
    double term = 1.0, sum = 1.0;
    for (int i = 1; i <= 16; ++i) {
        term *= r / i;
        sum += term;
    }
    return std::ldexp(sum, static_cast<int>(k));
}

double NoiseSource::Next()
{
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return static_cast<double>(state) / 2147483648.0 - 1.0;
}

int16_t ToPcm(double value)
{
    double scaled = std::floor(value * 32767.0 + 0.5);
    if (scaled > 32767.0)
        scaled = 32767.0;
    if (scaled < -32768.0)
        scaled = -32768.0;
    return static_cast<int16_t>(scaled);
}

std::vector<S3mSample> SynthesiseInstruments()
{
    const uint32_t drumRate = static_cast<uint32_t>(kDrumRate);
    std::vector<S3mSample> all;
    all.push_back(MakeSample("kick", Kick(), drumRate));
    all.push_back(MakeSample("snare", Snare(), drumRate));
    all.push_back(MakeSample("closed hat", Hat(0.12, 0.03, 0x510E527Fu), drumRate));
    all.push_back(MakeSample("open hat", Hat(0.5, 0.16, 0x9B05688Cu), drumRate));
    all.push_back(MakeSample("crash", Crash(), drumRate));
    all.push_back(MakeSample("reverse crash", ReverseCrash(), drumRate));
    all.push_back(MakeSample("tom", Tom(), drumRate));
    all.push_back(MakeSample("boom", Boom(), 16000));
    all.push_back(Bass());
    all.push_back(Pad());
    all.push_back(Lead());
    all.push_back(Pluck());
    all.push_back(PulseLead());
    return all;
}
