// contentgen: the demo's default data, generated from source and the same, byte for
// byte, on every run and machine. Every entry of the entry table (archive/entries.h)
// but the music has a builder here, named by its entry name; the writers put
// pictures and meshes into the layouts of archive/content_format.h and the 3D Studio
// mesh format.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// ---- pictures and textures (".scx") ----------------------------------------------------
// width x height palette indices, row-major, with their palette (256 R,G,B triples,
// each 0..63).
struct Picture {
    int width = 0, height = 0;
    uint8_t palette[768] = {};
    std::vector<uint8_t> pixels;
};
Picture MakePicture(int width, int height);   // all pixels and colours 0

// The entry bytes: the 10-byte header ("SCX", 0, width LE16, height LE16, two zero
// bytes), the palette, the pixels.
std::vector<uint8_t> EncodePicture(const Picture& picture);
bool WritePicture(const std::string& path, const Picture& picture);
// Reads the palette and width x height pixels; false when the file is missing or short.
bool ReadPicture(const std::string& path, Picture* picture, int width, int height);
// Whole files. WriteBytes writes through the safe-write helper (core/safe_write.h),
// replacing an existing file, and prints a one-line message on stderr when it fails.
bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
bool ReadBytes(const std::string& path, std::vector<uint8_t>* bytes);

// ---- meshes -----------------------------------------------------------------------------
// File axes: x right, y away from the viewer, z up. A face (a, b, c) faces the eye
// when its corners run counter-clockwise on screen, that is when (b - a) x (c - a)
// points towards the viewer.
struct MeshPoint {
    double x, y, z;
};
struct MeshTriangle {
    uint16_t a, b, c;
};
struct MeshData {
    std::string name;                  // may be empty
    std::vector<MeshPoint> vertices;   // at most 65,535
    std::vector<double> u, v;          // mapping per vertex, in texture widths
    std::vector<MeshTriangle> faces;
};
// A 3D Studio mesh file with one object per mesh (at least one), in order. Besides
// the meshes it carries chunks a reader must skip: a version, a material, a light,
// a camera, keyframe data, the face list's material group and smoothing groups,
// and each mesh's local axes.
std::vector<uint8_t> EncodeMeshFile(const std::vector<MeshData>& meshes);

// ---- the entries ----------------------------------------------------------------------
// Each builder takes an entry name and gives an empty result (a Picture of width 0)
// for a name it does not build.
// Lookup maps: angrad1..7.dat and backgr.dat (320x200 MapEntries), bigang.dat (640x400).
std::vector<uint8_t> BuildMap(const std::string& name);
// movement.dat: the wandering tunnel's path through bigang.dat.
std::vector<uint8_t> BuildMovementTable();

// Map presets for content folders: the shapes of the default maps by name
// (MapPresetNames), sampled at any size with the pixel (x, y) measured from the
// centre plus (centreX, centreY). Each pair becomes (scale0 x m0 + twist x m1,
// scale1 x m1), modulo 256; whole scales keep an angle's wrap seamless. Empty for
// an unknown preset.
struct MapShape {
    double scale0 = 1, scale1 = 1, twist = 0;
    double centreX = 0, centreY = 0;
};
extern const char* const MapPresetNames;
std::vector<uint8_t> BuildMapPreset(const std::string& preset, int width, int height, const MapShape& shape);
// Movement path presets: the default wandering path with another period in records
// (809 gives movement.dat), and an ellipse round the big map's centre with radii in
// MapEntries; every window origin is clamped into the big map.
std::vector<uint8_t> BuildMovementPath(double period);
std::vector<uint8_t> BuildMovementEllipse(double radiusX, double radiusY, double period);
// The 256x256 textures, drawn only in the pixel values the entry table allows them.
Picture BuildTexture(const std::string& name);
// The 320x200 pictures: the overlays (tivrel, name1..3, lyrics) and thx.scx.
Picture BuildPicture(const std::string& name);
// groups.dat: the greetings strip of the final scene.
std::vector<uint8_t> BuildStrip();
// A strip from a coverage mask 320 wide (rows past its height stay 0): letters
// (coverage) become the lit faces and edges the final scene refracts its sky through.
struct Mask;
std::vector<uint8_t> StripFromCoverage(const Mask& cover);
// A strip of lines of text spread evenly down its 9,200 rows, centred, in `font`
// (a fonts-dejavu-core file name or a font file path) at `size` pixels, each line
// shrunk to fit; a line "*" is a small diamond.
std::vector<uint8_t> BuildStripFromLines(const std::vector<std::string>& lines, const char* font, int size);
// The meshes: star, jo2, jo6, part5, new4 and stucco1 (.3ds).
std::vector<uint8_t> BuildMeshFile(const std::string& name);

// The bytes of any entry but the music, chosen by the entry's kind.
std::vector<uint8_t> BuildEntry(const std::string& name);
// Writes every entry of the entry table but the music into dir, each file named by
// its entry name. False, after a one-line message on stderr, when an entry has no
// builder, a file cannot be written or a font cannot be loaded.
bool WriteEntries(const std::string& dir);

// The default data as an editable content folder in dir: pictures and textures as
// 8-bit palette PNGs, maps and the strip as raw files, the movement path as CSV, the
// meshes, the module (written by genmusic beside this program) and the manifest
// tivrel.toml naming them all. ovltool build of it gives the default entries, byte
// for byte. False after a one-line message on stderr.
bool WriteSources(const std::string& dir);
// 6-bit palette component to 8 bits and back; PaletteTo6Bit inverts PaletteTo8Bit.
constexpr uint8_t PaletteTo8Bit(uint8_t c6) { return uint8_t((c6 * 255 + 31) / 63); }
constexpr uint8_t PaletteTo6Bit(uint8_t c8) { return uint8_t((c8 * 63 + 127) / 255); }

// Renders an overview of the entries in dir to a PNG file: every texture and
// picture with its palette, every map through its kernel, and a still of each
// scene composed the way the demo composes it.
bool WriteContactSheet(const std::string& dir, const std::string& pngPath);
