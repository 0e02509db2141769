// Instrument synthesis for the soundtrack: oscillators, envelopes, noise and one-pole
// filters in plain double arithmetic (+, -, *, / and exact floor/ldexp only), so the
// samples come out bit-identical on every build.
#pragma once
#include <cstdint>
#include <vector>

#include "genmusic/s3m.h"

// Instrument numbers as the patterns use them (1-based S3M instrument indexes).
enum Instrument : uint8_t {
    kInsKick = 1,
    kInsSnare,
    kInsClosedHat,
    kInsOpenHat,
    kInsCrash,
    kInsReverseCrash,   // swells for exactly 0.96 s (16 rows) at C-4 and ends on its peak
    kInsTom,
    kInsBoom,
    kInsBass,
    kInsPad,
    kInsLead,
    kInsPluck,
    kInsPulseLead,
    kInstrumentCount = kInsPulseLead
};

// sin(2π × turns), |error| < 1e-9.
double SineTurns(double turns);
// e^x for x in -700..700.
double Exp(double x);

// xorshift32; Next() is uniform in [-1, 1).
struct NoiseSource {
    uint32_t state;
    double Next();
};

// Rounds halves up and saturates to the 16-bit range.
int16_t ToPcm(double value);

// Every instrument in Instrument order (element 0 is kInsKick).
std::vector<S3mSample> SynthesiseInstruments();
