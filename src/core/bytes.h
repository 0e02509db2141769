// Little-endian reads and writes of 16- and 32-bit values, the byte order of every
// file format here (overlay file, meshes, pictures, WAV, S3M) and of the 16-bit
// surface pixels; one big-endian read for the PNG header.
//
// On a little-endian host each is one unaligned access: g++ merges the byte-wise
// form by itself, clang for WebAssembly does not, and the texture-map kernels read
// one 16-bit entry per pixel.
#pragma once
#include <bit>
#include <cstdint>
#include <cstring>

inline uint16_t ReadLE16(const uint8_t* p)
{
    if constexpr (std::endian::native == std::endian::little) {
        uint16_t v;
        std::memcpy(&v, p, 2);
        return v;
    }
    return uint16_t(p[0] | p[1] << 8);
}

inline uint32_t ReadLE32(const uint8_t* p)
{
    if constexpr (std::endian::native == std::endian::little) {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline void WriteLE16(uint8_t* p, uint16_t v)
{
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(p, &v, 2);
        return;
    }
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

inline void WriteLE32(uint8_t* p, uint32_t v)
{
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(p, &v, 4);
        return;
    }
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

// Big-endian, for the few formats that use it (PNG chunk fields).
inline uint32_t ReadBE32(const uint8_t* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}
