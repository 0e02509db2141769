// Start-up of the demo and the steps between scenes that belong to the timeline.
#pragma once
#include <cstdint>

// Memory probe, working buffers in table order (zero-filled), ZOH_Init, the music
// read and load, the frame timer, the loading list, the scratch areas, the euf0010
// palette and texture made current, the music started (at the order after the limit
// of scene firstScene - 1). Failures print their line and exit with status 1.
void StartDemo(int firstScene);

// Every read the demo makes is checked first: archive entry `entry`, the data file's
// `name`, must hold at least what the entry table says the demo reads from it, else
// one line "ZOH_Read: NAME holds N bytes, the demo reads M" and status 1. (The
// archive makes sure an entry decodes to the size its directory gives, so the check
// is against what the entry really holds.)
void RequireEntryBytes(int32_t entry, const char* name);
// Ends the run with the archive's reason for its last failure (one line, status 1).
[[noreturn]] void FailWithArchiveReason();

// Between scenes 10 and 11: every AngleRadiusMap but map 6 released; map 6 copied
// into CurrentMap, the 3D scenes' background map.
void ReleaseTunnelMaps();
