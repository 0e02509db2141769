// Module inspection through libopenmpt's C API: a throwaway module object per call,
// which is never rendered; only its order list and timing are read.
#include "audio/module_info.h"

#include "audio/module_load.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace {

void SetError(std::string* error, const std::string& message)
{
    if (error != nullptr)
        *error = message;
}

}   // namespace

openmpt_module* CreateModule(const uint8_t* data, size_t size, std::string* error)
{
    int errorCode = 0;
    const char* errorMessage = nullptr;
    openmpt_module* module =
        openmpt_module_create_from_memory2(data, size, openmpt_log_func_silent, nullptr, openmpt_error_func_store,
                                           nullptr, &errorCode, &errorMessage, nullptr);
    if (module == nullptr && error != nullptr)
        *error = errorMessage != nullptr ? errorMessage : "unknown error";
    if (errorMessage != nullptr)
        openmpt_free_string(errorMessage);
    return module;
}

bool InspectModule(const uint8_t* data, size_t size, ModuleInfo* info, std::string* error)
{
    *info = ModuleInfo{};
    if (data == nullptr || size == 0) {
        SetError(error, "no module data");
        return false;
    }
    std::string reason;
    openmpt_module* module = CreateModule(data, size, &reason);
    if (module == nullptr) {
        SetError(error, "not a module the player can load (" + reason + ")");
        return false;
    }

    if (const char* type = openmpt_module_get_metadata(module, "type")) {
        info->format = type;
        openmpt_free_string(type);
    }
    info->orderCount = openmpt_module_get_num_orders(module);
    info->lengthSeconds = openmpt_module_get_duration_seconds(module);
    // A seek answers the time at which playing from the start reaches the target; for
    // an order that playing never reaches (skipped, or after an end marker) the answer
    // is only the player's estimate.
    for (int32_t order = 0; order < info->orderCount; order++)
        info->orderStartSeconds.push_back(openmpt_module_set_position_order_row(module, order, 0));
    openmpt_module_destroy(module);
    return true;
}

namespace {

constexpr int32_t MeasureRate = 11025;

// RMS in dBFS of the module rendered from its start at `separation` percent.
double RenderedRms(openmpt_module* module, int separation, double seconds)
{
    openmpt_module_set_position_seconds(module, 0.0);
    openmpt_module_set_render_param(module, OPENMPT_MODULE_RENDER_STEREOSEPARATION_PERCENT, separation);
    std::vector<float> buffer(2 * 1024);
    double sum = 0;
    uint64_t samples = 0;
    const uint64_t limit = uint64_t(seconds * MeasureRate);
    for (uint64_t frames = 0; frames < limit;) {
        const size_t got = openmpt_module_read_interleaved_float_stereo(module, MeasureRate, 1024, buffer.data());
        if (got == 0)
            break;
        for (size_t i = 0; i < 2 * got; i++)
            sum += double(buffer[i]) * buffer[i];
        samples += 2 * got;
        frames += got;
    }
    if (samples == 0 || sum <= 0)
        return -200;
    return std::max(-200.0, 10 * std::log10(sum / double(samples)));
}

// Channels of an IT module whose initial pan (header offset 0x40, one byte per
// channel) is 100, surround; bit 7 marks a disabled channel.
int ItSurroundChannels(const uint8_t* data, size_t size, int channels)
{
    if (size < 0x80 || std::memcmp(data, "IMPM", 4) != 0)
        return -1;
    int count = 0;
    for (int c = 0; c < channels && c < 64; c++)
        if (data[0x40 + c] == 100)
            count++;
    return count;
}

}   // namespace

bool MeasureMonoLoss(const uint8_t* data, size_t size, int separationPercent, MonoCheck* check, double seconds)
{
    *check = MonoCheck{};
    if (data == nullptr || size == 0)
        return false;
    openmpt_module* module = CreateModule(data, size, nullptr);
    if (module == nullptr)
        return false;
    openmpt_module_set_repeat_count(module, 0);
    openmpt_module_ctl_set_integer(module, "dither", 0);
    check->channels = openmpt_module_get_num_channels(module);
    check->rmsAtSeparation = RenderedRms(module, separationPercent, seconds);
    check->rmsStereo = RenderedRms(module, 100, seconds);
    check->surroundChannels = ItSurroundChannels(data, size, check->channels);
    openmpt_module_destroy(module);
    return true;
}

bool MonoCancels(const MonoCheck& check)
{
    return check.rmsStereo > -70 && check.rmsStereo - check.rmsAtSeparation > MonoLossLimitDb;
}
