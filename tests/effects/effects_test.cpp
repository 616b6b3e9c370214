#include <gtest/gtest.h>

#include <cstdlib>

#include "core/clock.h"
#include "core/framebuffer.h"
#include "core/random.h"
#include "effects/burst.h"
#include "effects/particles.h"
#include "render/raster.h"

namespace {

int lit_pixels() {
    int n = 0;
    for (int i = 0; i < FRAME_WIDTH * FRAME_HEIGHT; ++i) n += framebuffer.pixels[i] != 0;
    return n;
}

class Effects : public ::testing::Test {
   protected:
    void SetUp() override {
        frame_attach_storage();
        clear_frame(0);
        clear_depth();
        for (Burst& b : bursts) b = Burst{};
        for (Particle& p : particles) p = Particle{};
    }
};

TEST_F(Effects, SpawnTakesTheLowestFreeSlotAndNothingWhenFull) {
    spawn_burst(1, 2, 0, 3, 4);
    spawn_burst(5, 6, 0, 3, 4);
    spawn_burst(7, 8, 0, 3, 4);
    bursts[1].active = 0;
    spawn_burst(9, 10, 0, 3, 4);
    EXPECT_EQ(bursts[1].x, 9);
    EXPECT_EQ(bursts[1].age, 0);
    EXPECT_GE(bursts[1].drift, -51200);
    EXPECT_LE(bursts[1].drift, 50800);

    for (int i = 0; i < BURST_SLOTS; ++i) spawn_burst(100 + i, 0, 0, 0, 0);
    show_random_seed(9);
    const int next = show_random();
    show_random_seed(9);
    spawn_burst(999, 999, 0, 0, 0);
    EXPECT_EQ(show_random(), next) << "a spawn with every slot taken calls no rand()";
    for (const Burst& b : bursts) EXPECT_NE(b.x, 999);
}

TEST_F(Effects, FigureMovesBeforeDrawingAndLivesUntilAge3200) {
    spawn_burst(716800, 0x4D000, 0, 0x20000, 0x20000);
    const Fixed drift = bursts[0].drift;
    update_bursts(32);
    EXPECT_EQ(bursts[0].x, 716800 + drift);
    EXPECT_EQ(bursts[0].y, 0x4D000 - 20000) << "rises 0.305 units per update";
    EXPECT_GT(lit_pixels(), 0);

    // The body's top edge is 4 units across at depth 32: about 19 pixels.
    const int top_row = 120 + static_cast<int>((int64_t{bursts[0].y - 0x20000} * 150 * 65536) /
                                               (int64_t{0x200000} << 16));
    int left = FRAME_WIDTH, right = -1;
    for (int x = 0; x < FRAME_WIDTH; ++x)
        if (framebuffer.pixels[top_row * FRAME_WIDTH + x] == COLOUR_DARK_GREY) {
            left = std::min(left, x);
            right = std::max(right, x);
        }
    EXPECT_NEAR(right - left + 1, 19, 1);

    bursts[0].age = 3200;
    clear_frame(0);
    clear_depth();
    update_bursts(32);
    EXPECT_EQ(bursts[0].active, 1);
    EXPECT_GT(lit_pixels(), 0) << "drawn at age 3200";
    clear_frame(0);
    update_bursts(32);
    EXPECT_EQ(bursts[0].active, 0) << "freed at 3232";
    EXPECT_EQ(lit_pixels(), 0) << "and not drawn";
}

TEST_F(Effects, FiguresAreDepthTestedAgainstTheScene) {
    spawn_burst(0, 0, 0, 0x20000, 0x20000);
    std::fill(depth_buffer.begin(), depth_buffer.end(), 10);  // a scene nearer than 32
    update_bursts(32);
    EXPECT_EQ(lit_pixels(), 0);
}

TEST_F(Effects, WingTipsSwingWithTheFlap) {
    // w = fine_sin(age x rate / 720) x size x 3: at size 2 the tips swing about +-6 units.
    BurstPoint p{};
    p.x = 0x10000;
    p.y = 0;
    rotate_point(&p, 900);  // a quarter turn turns x into y
    EXPECT_NEAR(p.x, 0, 2);
    EXPECT_NEAR(p.y, 0x10000, 2);
    BurstPoint q{};
    q.x = 0x10000;
    rotate_point(&q, 0);
    EXPECT_EQ(q.x, 65535) << "angle 0 keeps the shape up to the table's rounding";
}

TEST_F(Effects, ParticlesFallUnderGravity) {
    spawn_particle(0, 0, 0x200000, 0, 0, 0);
    for (int n = 1; n <= 10; ++n) {
        update_particles();
        EXPECT_EQ(particles[0].vy, 256 * n);
        EXPECT_EQ(particles[0].y, 256 * n * (n - 1) / 2);
    }
    EXPECT_EQ(particles[0].life, PARTICLE_LIFE - 10);
}

TEST_F(Effects, ParticleLivesFor179DrawnUpdatesAndFullTableSpawnsNothing) {
    spawn_particle(0, 0, 0x100000, 0, 0, 0);
    for (int n = 1; n < PARTICLE_LIFE; ++n) update_particles();
    EXPECT_EQ(particles[0].life, 1);
    update_particles();
    EXPECT_EQ(particles[0].life, 0) << "the 180th update frees it";

    for (int i = 0; i < PARTICLE_SLOTS; ++i) spawn_particle(i, 0, 0x100000, 0, 0, 0);
    show_random_seed(3);
    const int next = show_random();
    show_random_seed(3);
    spawn_particle(-1, -1, -1, 0, 0, 0);
    EXPECT_EQ(show_random(), next);
    for (const Particle& p : particles) EXPECT_NE(p.x, -1);
}

TEST_F(Effects, NoLiveParticleDrawsNothing) {
    update_particles();
    EXPECT_EQ(lit_pixels(), 0);
}

}  // namespace
