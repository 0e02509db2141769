// Layouts of the content inside the overlay file's entries: pictures and textures,
// lookup maps, the movement path, the greetings strip, and the limits on meshes and
// the module. The archive itself is archive_format.h; which entry holds what, and
// who reads it, is the entry table (entries.h).
#pragma once
#include <cstdint>

// ---- pictures and textures (".scx") ---------------------------------------------------
//   offset 0     10 bytes   header, not read by the demo (gencontent writes "SCX", 0,
//                           width LE16, height LE16, 2 zero bytes)
//   offset 10    768 bytes  palette: 256 R,G,B triples, each 0..63
//   offset 778   w x h      pixels: palette indices, row-major, top row first
// Further bytes are not read.
constexpr uint32_t PictureHeaderBytes = 10;
constexpr uint32_t PaletteBytes = 768;
constexpr uint32_t PicturePaletteOffset = PictureHeaderBytes;                 // 10
constexpr uint32_t PicturePixelsOffset = PictureHeaderBytes + PaletteBytes;   // 778
constexpr uint32_t PictureWidth = 320;                                        // full-screen pictures
constexpr uint32_t PictureHeight = 200;
constexpr uint32_t PicturePixelBytes = PictureWidth * PictureHeight;              // 64,000
constexpr uint32_t TextureSide = 256;                                             // textures: 256x256, wrapping
constexpr uint32_t TextureBytes = TextureSide * TextureSide;                      // 65,536
constexpr uint32_t PictureEntryBytes = PicturePixelsOffset + PicturePixelBytes;   // 64,778
constexpr uint32_t TextureEntryBytes = PicturePixelsOffset + TextureBytes;        // 66,314
// A TexturePicture in memory: the palette, then the 65,536 pixels.
constexpr uint32_t TexturePictureBytes = PaletteBytes + TextureBytes;

// ---- lookup maps -------------------------------------------------------------------------
// A MapEntry is two bytes (m0, m1); a map holds one per screen pixel, row-major.
constexpr uint32_t MapEntryBytes = 2;
constexpr uint32_t MapBytes = PicturePixelBytes * MapEntryBytes;   // 128,000 (angrad1..7, backgr)
constexpr uint32_t MapRowBytes = PictureWidth * MapEntryBytes;     // 640
constexpr uint32_t BigMapWidth = 640;                              // bigang: 640x400 MapEntries
constexpr uint32_t BigMapHeight = 400;
constexpr uint32_t BigMapRowBytes = BigMapWidth * MapEntryBytes;   // 1,280
constexpr uint32_t BigMapBytes = BigMapRowBytes * BigMapHeight;    // 512,000

// ---- movement path ("movement.dat") -------------------------------------------------------
// 896 records of 32 bytes: x (int32 LE), y (int32 LE), 24 bytes not read. (x, y) is
// the top-left MapEntry of a 320x200 window of the big map: 0 <= x <= 320, 0 <= y <= 200.
constexpr uint32_t MovementRecordBytes = 32;
constexpr uint32_t MovementRecords = 896;
constexpr uint32_t MovementTableBytes = MovementRecordBytes * MovementRecords;   // 28,672
constexpr int32_t MovementMaxX = int32_t(BigMapWidth - PictureWidth);            // 320
constexpr int32_t MovementMaxY = int32_t(BigMapHeight - PictureHeight);          // 200

// ---- greetings strip ("groups.dat") -------------------------------------------------------
// 9,200 rows of 320 palette indices 0..127 (drawn + 128 by the final scene).
constexpr uint32_t StripWidth = 320;
constexpr uint32_t StripRows = 9200;
constexpr uint32_t StripBytes = StripWidth * StripRows;   // 2,944,000

// ---- module and meshes ---------------------------------------------------------------------
constexpr uint32_t MusicReadBytes = 1048576;   // the fixed read of "music.s3m"
// Entries read after loading go through the two scratch areas, so none may exceed
// this many bytes packed or unpacked (meshes, 3D textures, the closing picture).
constexpr uint32_t ScratchEntryBytes = 100000;
constexpr int MeshMaxObjects = 256;            // objects per mesh entry
constexpr uint32_t FinalMeshMinVertices = 8;   // the final scene flattens vertices 2, 3, 6, 7
