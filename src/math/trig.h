// Table sine and cosine in two angle units, read from one quarter-wave table:
//   fine angle:         integer, 2880 units per turn (8 per degree);
//   Fixed-degree angle: a Fixed number of degrees, 0x1680000 per turn.
// One table step is 1/8 degree in both. Results lie in -65535..65535: never quite 1.0.
#pragma once

#include <array>
#include <cstdint>

#include "math/fixed.h"

inline constexpr int FINE_ANGLES = 2880;
inline constexpr int FINE_QUARTER = 720;
inline constexpr Fixed DEGREES_TURN = 0x1680000;    // 360.0
inline constexpr Fixed DEGREES_QUARTER = 0x5A0000;  // 90.0
inline constexpr int SINE_TABLE_SIZE = FINE_QUARTER;

// sin(k / 8 degree) in Fixed for k = 0..719, rounded and capped at 65535.
extern const std::array<int32_t, SINE_TABLE_SIZE> sine_table;

int64_t fine_sin(int32_t angle);
int32_t fine_sin32(int32_t angle);
int64_t fine_cos(int32_t angle);
Fixed deg_sin(Fixed angle);
Fixed deg_cos(Fixed angle);
