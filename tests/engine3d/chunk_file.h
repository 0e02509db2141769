// Builds 3D Studio chunk trees in memory for the reader and loader tests.
#pragma once
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// Builds chunk trees; Begin/End back-patch each chunk's length.
struct File {
    std::vector<uint8_t> bytes;
    std::vector<size_t> open;

    File& U8(uint8_t v) { return bytes.push_back(v), *this; }
    File& U16(uint16_t v) { return U8(uint8_t(v)).U8(uint8_t(v >> 8)); }
    File& U32(uint32_t v) { return U16(uint16_t(v)).U16(uint16_t(v >> 16)); }
    File& F(float f)
    {
        uint32_t bits;
        memcpy(&bits, &f, 4);
        return U32(bits);
    }
    File& Name(const std::string& name)
    {
        for (char c : name)
            U8(uint8_t(c));
        return U8(0);
    }
    File& Begin(uint16_t id)
    {
        open.push_back(bytes.size());
        return U16(id).U32(0);
    }
    File& End()
    {
        size_t start = open.back();
        open.pop_back();
        uint32_t length = uint32_t(bytes.size() - start);
        memcpy(&bytes[start + 2], &length, 4);
        return *this;
    }
    File& Vertices(const std::vector<std::array<float, 3>>& points)
    {
        Begin(0x4110).U16(uint16_t(points.size()));
        for (const auto& p : points)
            F(p[0]).F(p[1]).F(p[2]);
        return End();
    }
    File& Mapping(const std::vector<std::array<float, 2>>& uv)
    {
        Begin(0x4140).U16(uint16_t(uv.size()));
        for (const auto& p : uv)
            F(p[0]).F(p[1]);
        return End();
    }
    File& Faces(const std::vector<std::array<uint16_t, 3>>& faces)
    {
        Begin(0x4120).U16(uint16_t(faces.size()));
        for (const auto& f : faces)
            U16(f[0]).U16(f[1]).U16(f[2]).U16(7);
        Begin(0x4150);   // smoothing groups, skipped with the face list
        for (size_t k = 0; k < faces.size(); k++)
            U32(1);
        return End().End();
    }
    // A named object holding one triangle mesh.
    File& Object(const std::string& name, const std::vector<std::array<float, 3>>& points,
                 const std::vector<std::array<uint16_t, 3>>& faces, bool mapping = false)
    {
        Begin(0x4000).Name(name).Begin(0x4100).Vertices(points);
        if (mapping) {
            std::vector<std::array<float, 2>> uv;
            for (size_t i = 0; i < points.size(); i++)
                uv.push_back({0.5f * float(i), 1.0f});
            Mapping(uv);
        }
        return Faces(faces).End().End();
    }
};
