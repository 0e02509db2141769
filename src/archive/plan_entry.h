// The optional entry "plan.dat": a data file's own scene plan and stereo separation.
// A data file without it plays the design's plan and the design's mono; a reader
// that does not know the entry never opens it. `ovltool build` writes it when the
// manifest has a [plan] or [sound] table; the player (at start-up and on every
// replay), `ovltool check` and `ovltool verify` read it through ReadPlanEntry.
//
// Layout (PlanEntryBytes; further bytes are not read):
//   offset 0    4 bytes   "TPL1"
//   offset 4    17 bytes  each scene's limit (reported order), scenes 1..17
//   offset 21   2 bytes   scene 2's part limits
//   offset 23   1 byte    stereo separation in percent, 0..200 (0: the design's mono)
//   offset 24   1 byte    how the limits were made: 0 the design's, 1 given in the
//                         manifest (ends = [...]), 2 fitted to the module (fit = true)
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/scene_plan.h"

constexpr char PlanEntryName[] = "plan.dat";
constexpr uint32_t PlanEntryBytes = 25;
constexpr int MaxStereoSeparation = 200;

enum PlanOrigin : uint8_t { PlanOfDesign = 0, PlanGiven = 1, PlanFitted = 2 };

struct PlanEntry {
    PlanLimits limits = DesignPlanLimits;
    int stereoSeparation = 0;   // percent
    PlanOrigin origin = PlanOfDesign;
    bool operator==(const PlanEntry&) const = default;
};

std::vector<uint8_t> EncodePlanEntry(const PlanEntry& plan);
// False with a one-line reason (without the entry's name) when the bytes are not a
// plan entry or break a rule of PlanLimitsProblem or the separation's range.
bool DecodePlanEntry(const std::vector<uint8_t>& bytes, PlanEntry* plan, std::string* error);

// The plan of an open archive: *plan is the design's (and *present false) when the
// archive has no plan entry. False with "plan.dat: REASON" when the entry cannot be
// read or decoded.
bool ReadPlanEntry(Archive* archive, PlanEntry* plan, bool* present, std::string* error);

// What a manifest or check shows of the origin: "design", "data file (given)",
// "data file (fitted to the module)".
const char* PlanOriginText(PlanOrigin origin);
