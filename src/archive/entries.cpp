#include "archive/entries.h"

#include <cstring>

#include "archive/content_format.h"

namespace {
constexpr uint32_t Pixels = PicturePixelBytes;
constexpr uint32_t Skip = PicturePixelsOffset;         // pixels only
constexpr uint32_t PaletteSkip = PictureHeaderBytes;   // palette, then pixels
}   // namespace

// clang-format off
const DataEntry DataEntries[] = {
    // name           kind                 area         skip         reads                          scenes     pixels    reserved   palette
    {"music.s3m",    EntryMusic,    LoadingArea, 0,           {MusicReadBytes, 0},            "1-17",     0, 0,     1, 0,     nullptr},
    {"bigang.dat",   EntryBigMap,   LoadingArea, 0,           {BigMapBytes, 0},               "3",        0, 0,     1, 0,     nullptr},
    {"angrad1.dat",  EntryMap,      LoadingArea, 0,           {MapBytes, 0},                  "1, 4, 10", 0, 0,     1, 0,     nullptr},
    {"angrad2.dat",  EntryMap,      LoadingArea, 0,           {MapBytes, 0},                  "2",        0, 0,     1, 0,     nullptr},
    {"angrad3.dat",  EntryMap,      LoadingArea, 0,           {MapBytes, 0},                  "5",        0, 0,     1, 0,     nullptr},
    {"angrad4.dat",  EntryMap,      LoadingArea, 0,           {MapBytes, 0},                  "6",        0, 0,     1, 0,     nullptr},
    {"angrad5.dat",  EntryMap,      LoadingArea, 0,           {MapBytes, 0},                  "7, 8",     0, 0,     1, 0,     nullptr},
    {"angrad6.dat",  EntryMap,      LoadingArea, 0,           {MapBytes, 0},                  "11-15",    0, 0,     1, 0,     nullptr},
    {"angrad7.dat",  EntryMap,      LoadingArea, 0,           {MapBytes, 0},                  "9",        0, 0,     1, 0,     nullptr},
    {"tivrel.scx",   EntryOverlay,  LoadingArea, Skip,        {Pixels, 0},                    "1",        0, 16,    1, 0,     "overlay colours 237..253 (value + 237)"},
    {"name1.scx",    EntryOverlay,  LoadingArea, Skip,        {Pixels, 0},                    "2",        0, 16,    1, 0,     "overlay colours 237..253 (value + 237)"},
    {"name2.scx",    EntryOverlay,  LoadingArea, Skip,        {Pixels, 0},                    "2",        0, 16,    1, 0,     "overlay colours 237..253 (value + 237)"},
    {"name3.scx",    EntryOverlay,  LoadingArea, Skip,        {Pixels, 0},                    "2",        0, 16,    1, 0,     "overlay colours 237..253 (value + 237)"},
    {"movement.dat", EntryMovement, LoadingArea, 0,           {MovementTableBytes, 0},        "3",        0, 0,     1, 0,     nullptr},
    {"euf0009.scx",  EntryTexture,  LoadingArea, PaletteSkip, {PaletteBytes, TextureBytes},   "5, 6",     0, 255, 246, 254,   nullptr},
    {"euf0010.scx",  EntryTexture,  LoadingArea, PaletteSkip, {PaletteBytes, TextureBytes},   "1-3, 9",   0, 255, 237, 253,   nullptr},
    {"euf0011.scx",  EntryTexture,  LoadingArea, PaletteSkip, {PaletteBytes, TextureBytes},   "4, 10",    0, 255, 246, 254,   nullptr},
    {"8emp_g.scx",   EntryTexture,  LoadingArea, PaletteSkip, {PaletteBytes, TextureBytes},   "12, 14",   0, 85,    1, 0,     "colours 0..85 only; 86..255 come from the object texture"},
    {"18soh.scx",    EntryTexture,  LoadingArea, PaletteSkip, {PaletteBytes, TextureBytes},   "7, 8",     0, 255, 246, 254,   nullptr},
    {"7venus.scx",   EntryTexture,  LoadingArea, PaletteSkip, {PaletteBytes, TextureBytes},   "16",       0, 127,   1, 0,     "colours 0..127; 128..255 show the strip (value + 128)"},
    {"lyrics.scx",   EntryOverlay,  LoadingArea, Skip,        {Pixels, 0},                    "4, 6, 8, 10", 0, 8,  1, 0,     "lyrics colours 246..254 (value + 246)"},
    {"backgr.dat",   EntryMap,      LoadingArea, 0,           {MapBytes, 0},                  "16",       0, 0,     1, 0,     nullptr},
    {"groups.dat",   EntryStrip,    LoadingArea, 0,           {StripBytes, 0},                "16",       0, 127,   1, 0,     "drawn + 128 through the 7venus palette"},
    {"star.3ds",     EntryMesh,     ScratchArea, 0,           {0, 0},                         "11",       0, 0,     1, 0,     nullptr},
    {"jo2.3ds",      EntryMesh,     ScratchArea, 0,           {0, 0},                         "12",       0, 0,     1, 0,     nullptr},
    {"jo6.3ds",      EntryMesh,     ScratchArea, 0,           {0, 0},                         "13",       0, 0,     1, 0,     nullptr},
    {"part5.3ds",    EntryMesh,     ScratchArea, 0,           {0, 0},                         "14",       0, 0,     1, 0,     nullptr},
    {"new4.3ds",     EntryMesh,     ScratchArea, 0,           {0, 0},                         "15",       0, 0,     1, 0,     nullptr},
    {"stucco1.3ds",  EntryMesh,     ScratchArea, 0,           {0, 0},                         "16",       0, 0,     1, 0,     nullptr},
    {"23mview.scx",  EntryTexture,  ScratchArea, PaletteSkip, {PaletteBytes, TextureBytes},   "11",       1, 255,   1, 0,     "0 shows the background through the object"},
    {"11cont.scx",   EntryTexture,  ScratchArea, PaletteSkip, {PaletteBytes, TextureBytes},   "12",       86, 255,  1, 0,     "colours 86..255; 0..85 come from 8emp_g"},
    {"23mview2.scx", EntryTexture,  ScratchArea, PaletteSkip, {PaletteBytes, TextureBytes},   "13",       1, 255,   1, 0,     "0 shows the background through the object"},
    {"18soh3d.scx",  EntryTexture,  ScratchArea, PaletteSkip, {PaletteBytes, TextureBytes},   "14",       86, 255,  1, 0,     "colours 86..255; 0..85 come from 8emp_g"},
    {"15mview.scx",  EntryTexture,  ScratchArea, PaletteSkip, {PaletteBytes, TextureBytes},   "15",       1, 255,   1, 0,     "0 shows the background through the object"},
    {"14soh.scx",    EntryTexture,  ScratchArea, PaletteSkip, {PaletteBytes, TextureBytes},   "16",       1, 127,   1, 0,     "shown through the 7venus palette; second pass + 128"},
    {"thx.scx",      EntryPicture,  ScratchArea, PaletteSkip, {PaletteBytes, Pixels},         "17",       0, 255,   1, 0,     nullptr},
};
// clang-format on

const int DataEntryCount = int(sizeof DataEntries / sizeof DataEntries[0]);

uint32_t DataEntryNeeds(const DataEntry& entry)
{
    if (entry.kind == EntryMusic)
        return 1;
    if (entry.kind == EntryMesh)
        return 6;   // one chunk header
    return entry.skip + entry.reads[0] + entry.reads[1];
}

const DataEntry* FindDataEntry(const char* name)
{
    for (int i = 0; i < DataEntryCount; i++)
        if (std::strcmp(DataEntries[i].name, name) == 0)
            return &DataEntries[i];
    return nullptr;
}
