#include "core/shared.h"

uint8_t* FrameBuffer = nullptr;
std::atomic<uint32_t> TickCounters[3];
MusicPositionState MusicPosition = {0, 0};
StartupOptionsState StartupOptions = {0, 0, 1};
