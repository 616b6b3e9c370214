// The show: the timeline's rules by tick, the main loop with the tick set by hand (whole frames
// are in frames_test), and the headless show as the tools and the page restart it.
#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdlib>
#include <vector>

#include "core/clock.h"
#include "core/framebuffer.h"
#include "demo/assets.h"
#include "demo/headless.h"
#include "demo/show.h"
#include "demo/timeline.h"
#include "effects/burst.h"
#include "math/trig.h"

namespace {

// Phase (1 turn, 2 tilt, 3 pulse), flash and first words; the beat, 15 degrees a tick however far
// (15 x tick x 65536 passes 32 bits at tick 2185, 15 x tick at 0xFFFFFFF0).
TEST(Timeline, RulesByTick) {
    const uint32_t cases[][4] = {
        {0, 1, 0, 1},   {899, 1, 0, 1}, {900, 2, 0, 1}, {919, 2, 0, 1},  {920, 2, 1, 1},
        {921, 2, 0, 1}, {925, 2, 1, 1}, {999, 2, 0, 1}, {1000, 3, 0, 0}, {0xFFFFFFFF, 3, 0, 0}};
    for (const auto& [tick, phase, flash, words] : cases) {
        EXPECT_EQ(show_phase(tick), static_cast<ShowPhase>(phase)) << tick;
        EXPECT_EQ(is_flash_tick(tick), flash != 0) << tick;
        EXPECT_EQ(first_words_shown(tick), words != 0) << tick;
    }
    const uint32_t beats[][2] = {{1008, 0},  {1012, 60},       {1014, 90},       {2185, 15},
                                 {2186, 30}, {0xFFFFFFF0u, 0}, {0xFFFFFFF6u, 90}};
    for (const auto& [tick, degrees] : beats)
        EXPECT_EQ(beat_sine(tick), deg_sin(static_cast<Fixed>(degrees << 16))) << tick;
}

// The ticks at which the readings launch a figure, from a fresh latch (or a held one).
std::vector<uint32_t> launches(const std::vector<uint32_t>& readings, bool latch = false) {
    std::vector<uint32_t> out;
    for (uint32_t tick : readings)
        if (figure_due(tick, &latch)) out.push_back(tick);
    return out;
}

TEST(Timeline, OneFigurePerBeatCycle) {
    // Several readings within 13..19 of a cycle launch once; a cycle with no reading there
    // launches none; readings up to tick 1000 leave a held latch alone, 20 and above clear it.
    EXPECT_EQ(launches({1020, 1021, 1021, 1022, 1030, 1040, 1044, 1058, 1070, 1085, 1100, 1123}),
              (std::vector<uint32_t>{1021, 1070, 1123}));
    EXPECT_EQ(launches({1000, 1000}), std::vector<uint32_t>{}) << "the trigger needs tick > 1000";
    EXPECT_EQ(launches({1000, 1045, 1052, 1069}, true), std::vector<uint32_t>{1069});
}

// Angles and figures come from the tick read after the frame before; the flash from its own.
TEST(MainLoop, AnglesComeFromTheTickReadAfterTheFrameBefore) {
    frame_attach_storage();
    ASSERT_EQ(create_demo_font(), 0);
    pumpkin_model = static_cast<Model*>(std::calloc(1, sizeof(Model)));  // freed with free()
    ASSERT_EQ(build_main_scene(), 0);
    ASSERT_EQ(create_word_groups(), 0);
    for (Burst& b : bursts) b.active = 0;
    MainLoopState state{};
    const auto frame = [&state](uint32_t tick, uint8_t corner = COLOUR_BLACK) {
        tick_count.store(tick);
        draw_main_frame(&state);
        EXPECT_EQ(framebuffer.pixels[FRAME_WIDTH * FRAME_HEIGHT - 1], corner) << tick;
        finish_main_frame(&state);
    };
    frame(400);
    EXPECT_EQ(state.turn, 0);
    frame(401);
    EXPECT_EQ(state.turn, tick_angle(400) / 4);
    frame(899);
    const Fixed turn = state.turn;
    frame(920, COLOUR_WHITE);
    EXPECT_EQ(state.tilt, turn - tick_angle(899) / 4);
    frame(950);
    EXPECT_EQ(state.turn, turn);
    EXPECT_EQ(state.tilt, turn - tick_angle(920) / 4);
    frame(1000);
    const Fixed s = beat_sine(950);  // bob and swell
    EXPECT_EQ(main_root->local.m[3][1], 0x320000 + 10 * s);
    EXPECT_EQ(state.tilt, turn - tick_angle(920) / 4);
    frame(1001);  // a figure is launched after the frame and first drawn in the next
    EXPECT_TRUE(bursts[0].active && bursts[0].age == 0);
    frame(1002);
    EXPECT_EQ(bursts[0].age, 32);
    release_main_scene();
}

// Starting again releases the show before.
TEST(Headless, StartingAgainReleasesTheShowBefore) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer keeps a heap of its own, which mallinfo2 does not see";
#endif
    const auto in_use = [] {
        const struct mallinfo2 m = mallinfo2();
        return m.uordblks + m.hblkhd;  // the heap's chunks and those mapped on their own
    };
    HeadlessShow show;
    for (int i = 0; i < 2; ++i) ASSERT_EQ(headless_start(&show, nullptr, nullptr, nullptr), 0);
    const size_t before = in_use();
    for (int i = 0; i < 3; ++i) ASSERT_EQ(headless_start(&show, nullptr, nullptr, nullptr), 0);
    EXPECT_LT(in_use(), before + 16 * 1024);  // a show kept holds over 600 KB
    headless_stop();
}

// A show without music says so rather than wait for a clock that never moves.
TEST(Headless, WithoutMusicNoTickIsWaitedFor) {
    HeadlessShow show;
    ASSERT_EQ(headless_start(&show, "no/such.mod", nullptr, nullptr), 0);
    EXPECT_FALSE(headless_play_to_tick(&show, 1100));
    EXPECT_EQ(show.frame, 0u);
    headless_stop();
}

}  // namespace
