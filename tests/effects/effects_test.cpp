#include <gtest/gtest.h>

#include <tuple>

#include "core/framebuffer.h"
#include "core/random.h"
#include "effects/burst.h"
#include "effects/particles.h"
#include "render/raster.h"

namespace {

struct Effects : testing::Test {
    void SetUp() override {
        frame_attach_storage();
        clear_frame(0);
        clear_depth();
        bursts.fill(Burst{});
        particles.fill(Particle{});
    }
};

// A full table takes no slot and calls no rand(); else the lowest free slot is taken, reset.
TEST_F(Effects, SpawnsTakeTheLowestFreeSlotAndAFullTableCallsNoRand) {
    for (int i = 0; i < BURST_SLOTS; ++i) spawn_burst(100 + i, 0, 0, 0, 0);
    for (int i = 0; i < PARTICLE_SLOTS; ++i) spawn_particle(100 + i, 0, 0, 0, 0, 0);
    show_random_seed(9);
    const int next = show_random();
    show_random_seed(9);
    spawn_burst(-1, 0, 0, 0, 0);
    spawn_particle(-1, 0, 0, 0, 0, 0);
    EXPECT_EQ(show_random(), next);
    bursts[1].active = 0, bursts[1].age = 77, particles[1].life = 0, particles[0].life = 1;
    spawn_burst(9, 10, 0, 3, 4);
    spawn_particle(9, 0, 0, 0, 0, 0);
    EXPECT_EQ(std::tuple(bursts[1].x, bursts[1].age, particles[1].x, particles[1].life),
              std::tuple(9, 0, 9, PARTICLE_LIFE));
    EXPECT_TRUE(bursts[1].drift >= -51200 && bursts[1].drift <= 50800) << bursts[1].drift;
}

// A figure moves by its drift and rises, then is drawn behind a nearer scene; its age steps
// by the update's step, and it is drawn up to age 3200 and freed after.
TEST_F(Effects, FigureMovesBeforeDrawingAndLivesUntilAge3200) {
    spawn_burst(716800, 0x4D000, 0, 0x20000, 0x20000);
    const Fixed drift = bursts[0].drift;
    depth_buffer.fill(10);
    update_bursts(32);
    EXPECT_EQ(std::count(framebuffer.pixels, framebuffer.pixels + 96000, 0), 96000);
    EXPECT_EQ(std::tuple(bursts[0].x, bursts[0].y, bursts[0].age),
              std::tuple(716800 + drift, 0x4D000 - BURST_RISE, 32));
    bursts[0].age = 3200;
    for (bool drawn : {true, false}) {
        clear_frame(0);
        clear_depth();
        update_bursts(32);
        EXPECT_EQ(std::count(framebuffer.pixels, framebuffer.pixels + 96000, 0) < 96000, drawn);
        EXPECT_EQ(bursts[0].active, drawn);
    }
}

TEST(Burst, QuarterTurnsRotatePointsAboutTheCentre) {
    // Angle in tenths of a degree, and the image of (1, 2): sine and cosine peak at 65535.
    const Fixed cases[][3] = {
        {0, 65535, 131070}, {900, -131070, 65535}, {1800, -65535, -131070}, {-900, 131070, -65535}};
    for (const auto& [angle, x, y] : cases) {
        BurstPoint p{0x10000, 0x20000, {}};
        rotate_point(&p, angle);
        EXPECT_EQ(std::pair(p.x, p.y), std::pair(x, y)) << angle;
    }
}

// Gravity adds to the fall each update; the 180th update frees the particle.
TEST_F(Effects, ParticlesFallUnderGravityFor180Updates) {
    spawn_particle(0, 0, 0x200000, 0, 0, 0);
    for (int n = 1; n <= PARTICLE_LIFE; ++n) {
        update_particles();
        ASSERT_EQ(std::tuple(particles[0].vy, particles[0].y, particles[0].life),
                  std::tuple(256 * n, 256 * n * (n - 1) / 2, PARTICLE_LIFE - n));
    }
}

}  // namespace
