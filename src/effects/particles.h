// The particle sprite field: up to 200 short-lived particles, each one small tumbling
// triangle flying along a straight line and falling under a constant gravity. The show does
// not run it; the `particles` tool shows it alone.
#pragma once

#include <array>
#include <cstdint>

#include "math/fixed.h"

inline constexpr int PARTICLE_SLOTS = 200;
inline constexpr int32_t PARTICLE_LIFE = 180;     // updates
inline constexpr Fixed PARTICLE_GRAVITY = 256;    // added to vy per update (y grows downwards)
inline constexpr Fixed PARTICLE_RADIUS = 0x3000;  // 0.1875: how far the corners tumble

struct Particle {
    Fixed x, y, z;
    Fixed vx, vy, vz;
    int32_t angle[3];  // tumbling phases, fine angles; a reused slot keeps its old phases
    int32_t spin[3];   // per-update phase increments, 0..127
    int32_t life;      // updates left; 0 = free
};

extern std::array<Particle, PARTICLE_SLOTS> particles;

// Claims the lowest free slot; does nothing (and draws no random value) when all are live.
void spawn_particle(Fixed x, Fixed y, Fixed z, Fixed vx, Fixed vy, Fixed vz);
// Moves every live particle one step and draws all 200 triangles (free slots project to a
// point and draw nothing). Always true: the caller may go on.
bool update_particles();
