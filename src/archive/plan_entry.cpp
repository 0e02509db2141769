#include "archive/plan_entry.h"

#include <cstring>

namespace {

constexpr char Magic[4] = {'T', 'P', 'L', '1'};
constexpr size_t EndsOffset = 4, PartsOffset = 21, SeparationOffset = 23, OriginOffset = 24;

}   // namespace

std::vector<uint8_t> EncodePlanEntry(const PlanEntry& plan)
{
    std::vector<uint8_t> bytes(PlanEntryBytes, 0);
    std::memcpy(bytes.data(), Magic, sizeof Magic);
    std::memcpy(bytes.data() + EndsOffset, plan.limits.ends, PlanScenes);
    std::memcpy(bytes.data() + PartsOffset, plan.limits.parts, 2);
    bytes[SeparationOffset] = uint8_t(plan.stereoSeparation);
    bytes[OriginOffset] = plan.origin;
    return bytes;
}

bool DecodePlanEntry(const std::vector<uint8_t>& bytes, PlanEntry* plan, std::string* error)
{
    if (bytes.size() < PlanEntryBytes || std::memcmp(bytes.data(), Magic, sizeof Magic) != 0) {
        *error = "not a plan entry (" + std::to_string(bytes.size()) +
                 " bytes; a plan entry starts with TPL1 and holds " + std::to_string(PlanEntryBytes) + ")";
        return false;
    }
    PlanEntry decoded;
    std::memcpy(decoded.limits.ends, bytes.data() + EndsOffset, PlanScenes);
    std::memcpy(decoded.limits.parts, bytes.data() + PartsOffset, 2);
    decoded.stereoSeparation = bytes[SeparationOffset];
    const uint8_t origin = bytes[OriginOffset];
    if (const std::string problem = PlanLimitsProblem(decoded.limits); !problem.empty()) {
        *error = problem;
        return false;
    }
    if (decoded.stereoSeparation > MaxStereoSeparation) {
        *error = "stereo separation " + std::to_string(decoded.stereoSeparation) + "% is more than 200%";
        return false;
    }
    if (origin > PlanFitted) {
        *error = "unknown plan origin " + std::to_string(origin);
        return false;
    }
    decoded.origin = PlanOrigin(origin);
    *plan = decoded;
    return true;
}

bool ReadPlanEntry(Archive* archive, PlanEntry* plan, bool* present, std::string* error)
{
    *plan = PlanEntry{};
    *present = false;
    const int32_t entry = ArchiveFind(archive, PlanEntryName);
    if (entry < 0)
        return true;
    *present = true;
    std::vector<uint8_t> bytes;
    std::string reason;
    if (!ArchiveDecodeEntry(archive, entry, &bytes))
        reason = ArchiveError(archive);
    else if (!DecodePlanEntry(bytes, plan, &reason))
        *plan = PlanEntry{};
    if (reason.empty())
        return true;
    *error = std::string(PlanEntryName) + ": " + reason;
    return false;
}

const char* PlanOriginText(PlanOrigin origin)
{
    switch (origin) {
    case PlanGiven: return "data file (ends given in the manifest)";
    case PlanFitted: return "data file (fitted to the module's orders)";
    case PlanOfDesign: break;
    }
    return "design";
}
