// The demo as data: every scene's rows with the order at which each ends and the
// steps that set it up, draw its frames and end it. Names and limits come from the
// scene plan (archive/scene_plan.h); the steps are the scenes' own.
#pragma once
#include <cstdint>

// One row of a scene table. A scene is one row, or several rows in a row with the
// same number (parts that share one set-up, like scene 2's three name credits).
// The frame loop runs, per row: `between` (a step between scenes: releasing or
// loading what the next scenes need), `setUp`, then frames while the reported music
// order is at most *limit (at least one), then `end`. Any step but `frame` may be
// null. `limit` points into the plan in force (the scene table's rows point into
// ScenePlan), so a data file's plan changes the rows without a copy.
struct SceneRow {
    int number;             // 1.., rising; rows of one scene share it
    const char* name;       // for --list-scenes (the first row's name counts)
    const uint8_t* limit;   // largest reported order at which the row keeps running
    void (*between)();
    void (*setUp)();
    void (*frame)();   // draws one frame into FrameBuffer
    void (*end)();
};

// The demo's seventeen scenes in nineteen rows (scene_table.cpp).
extern const SceneRow SceneTable[];
extern const int SceneTableRows;

// Scenes in a table: the number of its last row.
int SceneCount(const SceneRow* rows, int count);
// The first row's name of scene `number`, or nullptr.
const char* SceneName(const SceneRow* rows, int count, int number);
// The limit of the last row of scene `number`: the order at which the scene ends
// (0 for a number outside the table).
int SceneLimit(const SceneRow* rows, int count, int number);
