// effects: the flapping figures and the particle field.
//
// The burst effect: up to eight small flat-shaded figures that rise, drift sideways and flap,
// each living a fixed number of updates. A figure is five triangles around its centre (a body
// pointing down, two ears, two long wings whose tips swing), built directly in view space at
// depth 32, projected and depth-tested against the scene.
#pragma once

#include <array>
#include <cstdint>

#include "math/fixed.h"
#include "render/geometry.h"

inline constexpr int BURST_SLOTS = 8;
inline constexpr int32_t BURST_LIFE = 3200;         // the last age at which a figure is drawn
inline constexpr Fixed BURST_RISE = 20000;          // upwards per update
inline constexpr Fixed BURST_DEPTH = 0x200000;      // 32.0
inline constexpr int32_t BURST_TENTHS_TURN = 3600;  // angle unit: tenths of a degree

struct Burst {
    Fixed x, y;         // centre in view space (y grows downwards)
    int32_t flap_rate;  // multiplier of the wing phase
    int32_t angle;      // rotation about the view axis, tenths of a degree
    int32_t age;        // 0 at spawn, + step per update
    Fixed size;         // half-width of the body
    int32_t active;     // 1 while in use
    Fixed drift;        // sideways per update
};

// A point of a figure: its 2D offset from the centre, and the vertex it becomes.
struct BurstPoint {
    Fixed x, y;
    Vertex vertex;
};

extern std::array<Burst, BURST_SLOTS> bursts;

// Claims the lowest free slot with a random drift; does nothing (and draws no random value) when
// all slots are in use.
void spawn_burst(int32_t x, int32_t y, int32_t angle, int32_t flap_rate, int32_t size);
// Moves, draws and ages every active figure, in slot order.
void update_bursts(int32_t step);
// One figure: frees it past its life, otherwise moves it to (new_x, new_y), draws it and ages
// it by step.
void update_burst(Burst* burst, int32_t step, Fixed new_x, Fixed new_y, int32_t angle, Fixed size);
// Sets the figure's fields and a random age 0..1999; leaves active and drift alone.
void init_burst(Burst* burst, int32_t x, int32_t y, int32_t angle, int32_t flap_rate, int32_t size);
// Rotates the point's x, y about the origin by angle tenths of a degree.
void rotate_point(BurstPoint* point, int32_t angle);
void rotate_points(BurstPoint* points, int32_t angle);
