// Start-up of the demo and the steps between scenes that belong to the timeline.
#pragma once

// Memory probe, working buffers in table order (zero-filled), ZOH_Init, the music
// read and load, the frame timer, the loading list, the scratch areas, the euf0010
// palette and texture made current, the music started (at the order after the limit
// of scene firstScene - 1). Failures print their line and exit with status 1.
void StartDemo(int firstScene);

// Between scenes 10 and 11: every AngleRadiusMap but map 6 released; map 6 copied
// into CurrentMap, the 3D scenes' background map.
void ReleaseTunnelMaps();
