// Fixed-point helpers of the 3D engine. 16.16 fixed point is a signed 32-bit value
// x 65,536. Results that the formats define as 32-bit wrap explicitly (through
// uint32_t), never through signed overflow.
#pragma once
#include <cmath>
#include <cstdint>

constexpr int32_t FixedOne = 65536;   // 1.0 in 16.16

inline int32_t WrapAdd(int32_t a, int32_t b) { return int32_t(uint32_t(a) + uint32_t(b)); }
inline int32_t WrapSub(int32_t a, int32_t b) { return int32_t(uint32_t(a) - uint32_t(b)); }
inline int32_t WrapMul(int32_t a, int32_t b) { return int32_t(uint32_t(a) * uint32_t(b)); }
inline int32_t WrapShl16(int32_t a) { return int32_t(uint32_t(a) << 16); }
// floor((p + 32,768) / 65,536): a 16.16 value to the nearest whole, halves up.
inline int32_t Round16(int32_t p) { return WrapAdd(p, 32768) >> 16; }

// Products of 32-bit values from their exact 64-bit product p, halves rounded up:
// M16 = floor((p + 32,768) / 65,536) (16.16 result), M32 = floor((p + 2^31) / 2^32);
// both keep the low 32 bits.
inline int32_t M16(int32_t a, int32_t b) { return int32_t((int64_t(a) * b + 32768) >> 16); }

inline int32_t M32(int32_t a, int32_t b) { return int32_t((int64_t(a) * b + (int64_t(1) << 31)) >> 32); }

// Rounds to the nearest integer, halves away from zero: 2.5 -> 3, -2.5 -> -3.
inline int32_t RoundToInt(double value)
{
    double whole = std::trunc(value);
    return int32_t(whole) + int32_t(std::trunc((value - whole) * 2));
}
