// 3D Studio mesh reader: walks the chunk tree of one entry and turns each triangle
// mesh into a MeshObject with 16.16 vertices, face normals, smoothed vertex normals
// and texture coordinates in texels.
//
// Chunks acted on: 0x4D4D main (must come first), 0x3D3D editor, 0x4000 named object
// (zero-terminated name, then children), 0x4100 triangle mesh, 0x4110 vertex list,
// 0x4140 mapping coordinates (before the face list), 0x4120 face list. All others
// are skipped whole. Every count, index, length and name is checked against its
// chunk and the entry, so a lying file fails with a reason instead of a stray read.
#include "core/bytes.h"
#include "engine3d/mesh.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

const char* const NotMeshFileReason = "This file is not a 3DS file!";

namespace {

constexpr uint16_t ChunkMain = 0x4D4D;
constexpr uint16_t ChunkEditor = 0x3D3D;
constexpr uint16_t ChunkNamedObject = 0x4000;
constexpr uint16_t ChunkTriangleMesh = 0x4100;
constexpr uint16_t ChunkVertexList = 0x4110;
constexpr uint16_t ChunkFaceList = 0x4120;
constexpr uint16_t ChunkMapping = 0x4140;

constexpr int LengthSlots = 10;     // slot k: length of the chunk walked at level k
constexpr int DataStartSlots = 9;   // slot k: entry position where level k's data begins

// Largest coordinate magnitude whose 16.16 value fits 32 bits with rotation headroom.
constexpr double MaxCoordinate = 16384.0;
// Largest mapping coordinate (in texture widths) whose texel value fits 32 bits.
constexpr double MaxMapping = 1 << 22;

const MeshSource* Source;
uint32_t Position;   // mirror of the source position
uint32_t ChunkLength[LengthSlots];
uint32_t ChunkDataStart[DataStartSlots];
char NameBuffer[256];

// The object between its vertex list and its face list, with its float positions
// (x, y, z, spare per vertex) and vertex-normal accumulators.
MeshObject* OpenObject;
float* FloatPositions;
float* NormalSums;

const char* ReadBytes(void* dest, uint32_t count)
{
    if (Position > Source->size || count > Source->size - Position)
        return "chunk data runs past the end of the file";
    if (!Source->read(Source->context, dest, count))
        return "entry could not be read";
    Position += count;
    return nullptr;
}

void SeekTo(uint32_t position) { Position = Source->seek(Source->context, position, 0); }

float LeFloat(const uint8_t* p)
{
    uint32_t bits = ReadLE32(p);
    float value;
    memcpy(&value, &bits, 4);
    return value;
}

PointArray* NewPointArray(uint32_t count, bool writeCount)
{
    auto* array = static_cast<PointArray*>(EngineAlloc(size_t(count) * 16 + 4));
    memset(array, 0, size_t(count) * 16 + 4);
    if (writeCount)
        array->count = count;
    return array;
}

void DropFloatArrays()
{
    free(FloatPositions);
    free(NormalSums);
    FloatPositions = NormalSums = nullptr;
}

void DropOpenObject()
{
    if (OpenObject) {
        ReleaseSharingObject(OpenObject);
        OpenObject = nullptr;
    }
    DropFloatArrays();
}

const char* ReadCount(uint32_t dataLength, uint32_t entryBytes, uint32_t* count)
{
    uint8_t raw[2];
    if (dataLength < 2)
        return "list chunk too short for its count";
    if (const char* error = ReadBytes(raw, 2))
        return error;
    *count = ReadLE16(raw);
    if (uint64_t(*count) * entryBytes + 2 > dataLength)
        return "list count runs past its chunk";
    return nullptr;
}

const char* ReadPointList(uint32_t dataLength)
{
    if (OpenObject)
        return "vertex list without a face list";
    if (ObjectCount >= MaxObjectsPerEntry)
        return "more than 256 objects in one file";
    uint32_t start = Position;
    uint32_t count;
    if (const char* error = ReadCount(dataLength, 12, &count))
        return error;

    auto* object = static_cast<MeshObject*>(EngineAlloc(sizeof(MeshObject)));
    memset(object, 0, sizeof(MeshObject));
    OpenObject = object;
    object->vertices = NewPointArray(count, true);
    object->transformedVertices = NewPointArray(count, false);
    object->vertexNormals = NewPointArray(count, true);
    object->rotatedVertexNormals = NewPointArray(count, false);
    NormalSums = static_cast<float*>(EngineAlloc(size_t(count) * 16 + 4));
    FloatPositions = static_cast<float*>(EngineAlloc(size_t(count) * 16 + 4));

    for (uint32_t i = 0; i < count; i++) {
        uint8_t raw[12];
        if (const char* error = ReadBytes(raw, 12))
            return error;
        float x = LeFloat(raw), y = LeFloat(raw + 4), z = LeFloat(raw + 8);
        if (!(std::fabs(x) < MaxCoordinate && std::fabs(y) < MaxCoordinate && std::fabs(z) < MaxCoordinate))
            return "vertex coordinate out of range";
        float* p = FloatPositions + 4 * i;
        p[0] = x;
        p[1] = -z;
        p[2] = y;
        p[3] = 0;
        float* m = NormalSums + 4 * i;
        m[0] = m[1] = m[2] = m[3] = 0;
    }
    SeekTo(start);
    return nullptr;
}

const char* ReadMappingList(uint32_t dataLength)
{
    if (!OpenObject)
        return "mapping coordinates outside a triangle mesh";
    uint32_t start = Position;
    uint32_t count;
    if (const char* error = ReadCount(dataLength, 8, &count))
        return error;
    if (count != OpenObject->vertices->count)
        return "mapping count differs from the vertex count";
    free(OpenObject->mapping);
    OpenObject->mapping = static_cast<TexCoord*>(EngineAlloc(size_t(count) * 8));
    OpenObject->mappingCount = count;
    for (uint32_t i = 0; i < count; i++) {
        uint8_t raw[8];
        if (const char* error = ReadBytes(raw, 8))
            return error;
        float u = LeFloat(raw), v = LeFloat(raw + 4);
        if (!(std::fabs(u) < MaxMapping && std::fabs(v) < MaxMapping))
            return "mapping coordinate out of range";
        OpenObject->mapping[i].u = RoundToInt(double(u) * 256);
        OpenObject->mapping[i].v = RoundToInt(double(v) * 256);
    }
    SeekTo(start);
    return nullptr;
}

// Adds face i's unit normal x 2 to its vertices' sums and stores its normal
// (16.16, length 63). Degenerate faces add nothing and get a zero normal.
void AddFaceNormal(MeshObject* object, uint32_t i)
{
    const Face& face = object->faces->entry[i];
    const float* pa = FloatPositions + 4 * face.a;
    const float* pb = FloatPositions + 4 * face.b;
    const float* pc = FloatPositions + 4 * face.c;
    double e1[3], e2[3], e3[3];
    for (int k = 0; k < 3; k++) {
        e1[k] = double(pb[k]) - pa[k];
        e2[k] = double(pc[k]) - pa[k];
        e3[k] = double(pc[k]) - pb[k];
    }
    double l1 = std::sqrt(e1[0] * e1[0] + e1[1] * e1[1] + e1[2] * e1[2]);
    double l2 = std::sqrt(e2[0] * e2[0] + e2[1] * e2[1] + e2[2] * e2[2]);
    double l3 = std::sqrt(e3[0] * e3[0] + e3[1] * e3[1] + e3[2] * e3[2]);
    double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
    double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    double s = (l1 + l2 + l3) * 0.5;
    double area = std::sqrt(s * (s - l1) * (s - l2) * (s - l3));

    if (area > 0) {   // false for zero and for a negative Heron product (NaN)
        for (int32_t v : {face.a, face.b, face.c}) {
            float* m = NormalSums + 4 * v;
            for (int k = 0; k < 3; k++)
                m[k] = float(m[k] + n[k] / area);
        }
    }
    Point4& normal = object->faceNormals->entry[i];
    normal = Point4{0, 0, 0, 0};
    if (length > 0) {
        normal.x = RoundToInt(n[0] * 63 / length * 65536);
        normal.y = RoundToInt(n[1] * 63 / length * 65536);
        normal.z = RoundToInt(n[2] * 63 / length * 65536);
    }
}

// Converts the float positions to 16.16 and the sums to vertex normals of length 63.
void FinishPoints(MeshObject* object)
{
    for (uint32_t i = 0; i < object->vertices->count; i++) {
        const float* p = FloatPositions + 4 * i;
        Point4& vertex = object->vertices->entry[i];
        vertex.x = RoundToInt(double(p[0]) * 65536);
        vertex.y = RoundToInt(double(p[1]) * 65536);
        vertex.z = RoundToInt(double(p[2]) * 65536);
        const float* m = NormalSums + 4 * i;
        double length = std::sqrt(double(m[0]) * m[0] + double(m[1]) * m[1] + double(m[2]) * m[2]);
        Point4& normal = object->vertexNormals->entry[i];
        normal = Point4{0, 0, 0, 0};
        if (length > 0 && std::isfinite(length)) {
            normal.x = RoundToInt(m[0] * 63 / length * 65536);
            normal.y = RoundToInt(m[1] * 63 / length * 65536);
            normal.z = RoundToInt(m[2] * 63 / length * 65536);
        }
    }
    DropFloatArrays();
}

const char* ReadFaceList(uint32_t dataLength)
{
    if (!OpenObject)
        return "face list without a vertex list";
    MeshObject* object = OpenObject;
    uint32_t start = Position;
    uint32_t count;
    if (const char* error = ReadCount(dataLength, 8, &count))
        return error;
    object->faces = static_cast<FaceArray*>(EngineAlloc(size_t(count) * 16 + 4));
    object->faces->count = count;
    object->faceNormals = NewPointArray(count, true);
    object->rotatedFaceNormals = NewPointArray(count, false);
    uint32_t vertexCount = object->vertices->count;
    for (uint32_t i = 0; i < count; i++) {
        uint8_t raw[8];
        if (const char* error = ReadBytes(raw, 8))
            return error;
        Face& face = object->faces->entry[i];
        face.a = ReadLE16(raw);
        face.b = ReadLE16(raw + 2);
        face.c = ReadLE16(raw + 4);
        face.depthKey = 0;
        if (uint32_t(face.a) >= vertexCount || uint32_t(face.b) >= vertexCount || uint32_t(face.c) >= vertexCount) {
            object->faces->count = i;
            return "vertex index out of range";
        }
        AddFaceNormal(object, i);
    }
    FinishPoints(object);
    ObjectTable[ObjectCount] = object;
    ObjectCount++;
    OpenObject = nullptr;
    SeekTo(start);
    return nullptr;
}

const char* ReadChunks(int level)
{
    ChunkDataStart[level] = Position;
    uint32_t end = ChunkDataStart[level] + ChunkLength[level] - 6;
    do {
        if (end - Position < 6)
            return "chunk header runs past its container";
        uint32_t chunkStart = Position;
        uint8_t header[6];
        if (const char* error = ReadBytes(header, 6))
            return error;
        uint16_t id = ReadLE16(header);
        uint32_t length = ReadLE32(header + 2);
        if (length < 6)
            return "chunk length below 6";
        if (length > end - chunkStart)
            return "chunk runs past its container";
        ChunkLength[level + 1] = length;

        const char* error = nullptr;
        switch (id) {
        case ChunkNamedObject: {
            uint32_t used = 0;
            for (;;) {
                if (used == length - 6)
                    return "unterminated object name";
                if (used == sizeof NameBuffer)
                    return "object name longer than 255 bytes";
                if ((error = ReadBytes(&NameBuffer[used], 1)))
                    return error;
                used++;
                if (NameBuffer[used - 1] == 0)
                    break;
            }
            ChunkLength[level + 1] -= used;
        }
            [[fallthrough]];
        case ChunkEditor:
        case ChunkTriangleMesh:
            if (ChunkLength[level + 1] == 6)
                return "empty chunk container";
            if (level + 1 >= DataStartSlots)
                return "chunks nested too deep";
            error = ReadChunks(level + 1);
            break;
        case ChunkVertexList: error = ReadPointList(length - 6); break;
        case ChunkFaceList: error = ReadFaceList(length - 6); break;
        case ChunkMapping: error = ReadMappingList(length - 6); break;
        default: break;
        }
        if (error)
            return error;
        Position = Source->seek(Source->context, ChunkLength[level + 1] - 6, 1);
    } while (Position < end);
    SeekTo(ChunkDataStart[level]);
    return nullptr;
}

bool MemoryRead(void* context, void* dest, uint32_t count)
{
    auto* input = static_cast<MemoryMeshInput*>(context);
    if (input->position > input->size || count > input->size - input->position)
        return false;
    memcpy(dest, input->bytes + input->position, count);
    input->position += count;
    return true;
}

uint32_t MemorySeek(void* context, uint32_t offset, int whence)
{
    auto* input = static_cast<MemoryMeshInput*>(context);
    if (whence == 0)
        input->position = offset;
    else if (whence == 1)
        input->position += offset;
    return input->position;
}

}   // namespace

MeshSource MemoryMeshSource(MemoryMeshInput* state) { return MeshSource{MemoryRead, MemorySeek, state, state->size}; }

const char* ParseMeshEntry(const MeshSource& source)
{
    Source = &source;
    ObjectCount = 0;
    OpenObject = nullptr;
    SeekTo(0);

    const char* error = nullptr;
    uint8_t header[6];
    if (source.size < 6 || ReadBytes(header, 6) || ReadLE16(header) != ChunkMain) {
        error = NotMeshFileReason;
    } else {
        ChunkLength[0] = ReadLE32(header + 2);
        if (ChunkLength[0] < 6 || ChunkLength[0] > source.size)
            error = "main chunk length does not match the file";
        else if (ChunkLength[0] == 6)
            error = "empty chunk container";
        else
            error = ReadChunks(0);
    }
    if (!error && OpenObject)
        error = "vertex list without a face list";
    if (!error && ObjectCount == 0)
        error = "no triangle mesh in the file";
    if (error) {
        DropOpenObject();
        for (int32_t k = 0; k < ObjectCount; k++) {
            ReleaseSharingObject(ObjectTable[k]);
            ObjectTable[k] = nullptr;
        }
        ObjectCount = 0;
    }
    Source = nullptr;
    return error;
}
