// Module inspection through libopenmpt's C API: a throwaway module object per call,
// which is never rendered; only its order list and timing are read.
#include "audio/module_info.h"

#include "audio/module_load.h"

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
