// `ovltool check FILE`: everything the demo reads from a data file, checked without
// running the demo, by the rules its loader uses (archive/content_rules.h).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Checks the data file at `path` and writes the report to *report: every entry with
// its sizes, pictures' palette ranges, meshes and their size on screen, the music's
// scene table and the demo's length, then the problems and warnings, each with what
// to do. Returns 0 when the demo plays the file as made (warnings allowed), 1 when
// something would stop the demo or show garbage (or the file cannot be read).
int CheckDataFile(const std::string& path, std::string* report);

// What the player's mesh reader makes of a mesh entry's bytes. radius: the largest
// distance of a vertex from the origin (the point the scene turns the mesh about), in
// model units. finalBoxProblem: FinalMeshProblem for the first object.
struct MeshFacts {
    int objects = 0;
    uint32_t vertices = 0, faces = 0;
    uint32_t firstVertices = 0;
    double radius = 0;
    std::string finalBoxProblem;
};
// False with the reader's one-line reason in *error when the player would refuse it.
bool ReadMeshFacts(const uint8_t* bytes, size_t size, MeshFacts* facts, std::string* error);

// "" when the module plays at `separationPercent` about as loud as in stereo; else the
// problem in a musician's words, cause and remedy (surround channels cancel in mono),
// one line without the entry's name. For check and build.
std::string MonoProblem(const uint8_t* module, size_t size, int separationPercent);
