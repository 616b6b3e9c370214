#include <gtest/gtest.h>

#include <cstdlib>

#include "core/framebuffer.h"
#include "core/random.h"
#include "effects/burst.h"
#include "effects/particles.h"
#include "render/raster.h"

namespace {

int lit_pixels() {
    return FRAME_WIDTH * FRAME_HEIGHT -
           static_cast<int>(std::count(framebuffer.pixels, framebuffer.pixels + 96000, 0));
}

class Effects : public ::testing::Test {
   protected:
    void SetUp() override {
        frame_attach_storage();
        clear_frame(0);
        clear_depth();
        bursts.fill(Burst{});
        particles.fill(Particle{});
    }
};

TEST_F(Effects, SpawnsTakeTheLowestFreeSlotAndAFullTableCallsNoRand) {
    for (int i = 0; i < BURST_SLOTS; ++i) spawn_burst(100 + i, 0, 0, 0, 0);
    for (int i = 0; i < PARTICLE_SLOTS; ++i) spawn_particle(100 + i, 0, 0, 0, 0, 0);
    show_random_seed(9);
    const int next = show_random();
    show_random_seed(9);
    spawn_burst(-1, 0, 0, 0, 0);
    spawn_particle(-1, 0, 0, 0, 0, 0);
    EXPECT_EQ(show_random(), next);
    bursts[1].active = 0, bursts[1].age = 77, particles[1].life = 0;
    spawn_burst(9, 10, 0, 3, 4);
    spawn_particle(9, 0, 0, 0, 0, 0);
    EXPECT_EQ(bursts[1].x, 9);
    EXPECT_EQ(bursts[1].age, 0);
    EXPECT_TRUE(bursts[1].drift >= -51200 && bursts[1].drift <= 50800) << bursts[1].drift;
    EXPECT_EQ(particles[1].x, 9);
    EXPECT_EQ(particles[1].life, PARTICLE_LIFE);
}

TEST_F(Effects, FigureIsDepthTestedMovesBeforeDrawingAndLivesUntilAge3200) {
    spawn_burst(716800, 0x4D000, 0, 0x20000, 0x20000);
    const Fixed drift = bursts[0].drift;
    depth_buffer.fill(10);  // a scene nearer than 32
    update_bursts(32);
    EXPECT_EQ(lit_pixels(), 0);
    clear_depth();
    update_bursts(32);
    EXPECT_EQ(bursts[0].x, 716800 + 2 * drift);
    EXPECT_EQ(bursts[0].y, 0x4D000 - 40000) << "rises 0.305 units per update";
    EXPECT_EQ(bursts[0].age, 64);
    // The body's top edge is 4 units across at depth 32: about 19 pixels.
    const int top_row = 120 + static_cast<int>(int64_t{bursts[0].y - 0x20000} * 150 / 0x200000);
    const uint8_t* row = framebuffer.pixels + top_row * FRAME_WIDTH;
    EXPECT_NEAR(std::count(row, row + FRAME_WIDTH, COLOUR_DARK_GREY), 19, 1);

    bursts[0].age = 3200;
    clear_frame(0);
    clear_depth();
    update_bursts(32);
    EXPECT_GT(lit_pixels(), 0) << "drawn at age 3200";
    clear_frame(0);
    update_bursts(32);
    EXPECT_EQ(bursts[0].active, 0) << "freed at 3232";
    EXPECT_EQ(lit_pixels(), 0) << "and not drawn";
}

TEST(Burst, QuarterTurnsRotatePointsAboutTheCentre) {
    // Angle in tenths of a degree, and the image of (1, 2): sine and cosine peak at 65535.
    const Fixed cases[][3] = {
        {0, 65535, 131070}, {900, -131070, 65535}, {1800, -65535, -131070}, {-900, 131070, -65535}};
    for (const auto& c : cases) {
        BurstPoint p{0x10000, 0x20000, {}};
        rotate_point(&p, c[0]);
        EXPECT_EQ(p.x, c[1]) << c[0];
        EXPECT_EQ(p.y, c[2]) << c[0];
    }
}

TEST_F(Effects, ParticlesFallUnderGravityFor180Updates) {
    spawn_particle(0, 0, 0x200000, 0, 0, 0);
    for (int n = 1; n < PARTICLE_LIFE; ++n) {
        update_particles();
        ASSERT_EQ(particles[0].vy, 256 * n);
        ASSERT_EQ(particles[0].y, 256 * n * (n - 1) / 2);
    }
    EXPECT_EQ(particles[0].life, 1);
    update_particles();
    EXPECT_EQ(particles[0].life, 0) << "the 180th update frees it";
}

}  // namespace
