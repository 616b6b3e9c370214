// math: table trigonometry and fixed-point matrices with their stack.
//
// Fixed: signed 32-bit number with 16 fraction bits. All geometry is carried in it.
#pragma once

#include <cstdint>

using Fixed = int32_t;

inline constexpr int FIXED_SHIFT = 16;
inline constexpr Fixed FIXED_ONE = 0x10000;

// Helpers for the places where the arithmetic wraps on purpose: signed overflow is undefined
// in C++, so wrapping sums and products go through unsigned 32-bit values.
constexpr int32_t wrap_add(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
constexpr int32_t wrap_sub(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
constexpr int32_t wrap_mul(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}
// Shift left keeping the low 32 bits, as a 32-bit register would.
constexpr int32_t wrap_shl(int32_t a, int shift) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) << shift);
}
