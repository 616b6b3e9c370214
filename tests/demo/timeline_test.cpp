// The main timeline: the pure rules by tick count, and the main loop's frames driven through
// a scene whose pumpkin is an empty mesh, with tick_count set by hand.
#include "demo/timeline.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/clock.h"
#include "core/framebuffer.h"
#include "demo/assets.h"
#include "demo/intro.h"
#include "demo/show.h"
#include "effects/burst.h"
#include "math/matrix.h"
#include "math/trig.h"

namespace {

TEST(Timeline, PhaseFlashAndWordsByTick) {
    const struct {
        uint32_t tick;
        ShowPhase phase;
        bool flash;
        bool first_words;
    } cases[] = {
        {0, PHASE_TURN, false, true},      {899, PHASE_TURN, false, true},
        {900, PHASE_TILT, false, true},    {919, PHASE_TILT, false, true},
        {920, PHASE_TILT, true, true},     {921, PHASE_TILT, false, true},
        {925, PHASE_TILT, true, true},     {999, PHASE_TILT, false, true},
        {1000, PHASE_PULSE, false, false}, {0xFFFFFFFF, PHASE_PULSE, false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(show_phase(c.tick), c.phase) << c.tick;
        EXPECT_EQ(is_flash_tick(c.tick), c.flash) << c.tick;
        EXPECT_EQ(first_words_shown(c.tick), c.first_words) << c.tick;
    }
}

TEST(Timeline, BeatSineFollowsFifteenDegreesPerTickWithoutJumps) {
    for (uint32_t tick : {1000u, 1001u, 2185u, 2186u, 100000u, 0xFFFFFFF0u}) {
        const int32_t degrees = static_cast<int32_t>((uint64_t{tick} * 15) % 360);
        EXPECT_EQ(beat_sine(tick), deg_sin(degrees << 16)) << tick;
    }
    // 15 x tc x 65536 would leave 32 bits at tick 2185; the beat must carry on smoothly.
    for (uint32_t tick = 2180; tick < 2200; ++tick)
        EXPECT_LE(std::abs(beat_sine(tick + 1) - beat_sine(tick)), 17000) << tick;
}

// Feeds the readings to figure_due and returns the ticks at which a figure is launched.
std::vector<uint32_t> launches(const std::vector<uint32_t>& readings) {
    bool latch = false;
    std::vector<uint32_t> out;
    for (uint32_t tick : readings)
        if (figure_due(tick, &latch)) out.push_back(tick);
    return out;
}

TEST(Timeline, OneFigurePerBeatCycle) {
    std::vector<uint32_t> every_tick;
    for (uint32_t t = 990; t < 1080; ++t) every_tick.push_back(t);
    EXPECT_EQ(launches(every_tick), (std::vector<uint32_t>{1001, 1021, 1045, 1069}));

    // Several frames within 13..19 of one cycle launch once; a cycle no frame sees in 13..19
    // launches none.
    EXPECT_EQ(launches({1020, 1021, 1021, 1022, 1030, 1040, 1044, 1058, 1070}),
              (std::vector<uint32_t>{1021, 1070}));
    EXPECT_EQ(launches({1000, 1000}), std::vector<uint32_t>{}) << "the trigger needs tc > 1000";
}

TEST(Timeline, LatchIsLeftAloneUpToTick1000) {
    bool latch = true;
    EXPECT_FALSE(figure_due(1000, &latch));
    EXPECT_TRUE(latch);
    EXPECT_FALSE(figure_due(1037, &latch)) << "a held latch blocks 13..19";
    EXPECT_FALSE(figure_due(1044, &latch));
    EXPECT_FALSE(latch) << "20 and above clear it";
}

class MainLoop : public ::testing::Test {
   protected:
    static void SetUpTestSuite() {
        frame_attach_storage();
        demo_font = create_font(font_glyphs, FONT_GLYPH_SIZE, FONT_GLYPH_SIZE);
        // An empty pumpkin: the loop's matrices are what is under test here.
        pumpkin_model = new Model{};
        ASSERT_EQ(build_main_scene(), 0);
        ASSERT_EQ(create_word_groups(), 0);
        matrix_reset();
    }

    void SetUp() override {
        for (Burst& b : bursts) b.active = 0;
        frame_count = 299;
    }

    // One frame of the main loop with tick_count at `tick` throughout.
    void frame(uint32_t tick) {
        tick_count.store(tick);
        draw_main_frame(&state);
        finish_main_frame(&state);
    }

    static int active_figures() {
        int n = 0;
        for (const Burst& b : bursts) n += b.active;
        return n;
    }

    MainLoopState state{};
};

TEST_F(MainLoop, TurnsThenTiltsThenPulsesWithFrozenAngles) {
    frame(0);
    EXPECT_EQ(state.turn, 0) << "the first frame uses T = 0";
    EXPECT_EQ(frame_count, 300u);
    frame(400);  // T formed from 0 in the previous frame
    EXPECT_EQ(state.turn, 0);
    frame(401);
    EXPECT_EQ(state.turn, tick_angle(400) / 4) << "0.75 degree per tick, one frame late";
    EXPECT_EQ(pumpkin_node->local.m[0][0], deg_cos(state.turn));

    frame(899);
    const Fixed frozen = state.turn;
    EXPECT_EQ(frozen, tick_angle(401) / 4);
    frame(900);
    EXPECT_EQ(state.turn, frozen);
    EXPECT_EQ(state.tilt, frozen - tick_angle(899) / 4);
    frame(950);
    EXPECT_EQ(state.tilt, frozen - tick_angle(900) / 4);
    EXPECT_EQ(tilt_node->local.m[1][2], deg_sin(state.tilt));

    frame(999);
    const Fixed tilt = state.tilt;
    frame(1000);
    frame(1012);  // the beat angle comes from tick 1000: sin(15000 degrees) = sin(240)
    EXPECT_EQ(state.turn, frozen);
    EXPECT_EQ(state.tilt, tilt);
    const Fixed s = deg_sin(240 << 16);
    EXPECT_EQ(main_root->local.m[3][1], 0x320000 + 10 * s);
    EXPECT_EQ(pulse_node->local.m[0][0], ((s + 0x10000) >> 2) + 0x10000);
    EXPECT_EQ(pulse_node->local.m[1][1], 0x10000);
}

TEST_F(MainLoop, FlashesOnlyAtTheirTicks) {
    for (uint32_t tick : {919u, 920u, 921u, 925u, 926u}) {
        frame(tick);
        const uint8_t corner = framebuffer.pixels[FRAME_WIDTH * FRAME_HEIGHT - 1];
        EXPECT_EQ(corner, is_flash_tick(tick) ? COLOUR_WHITE : COLOUR_BLACK) << tick;
    }
}

TEST_F(MainLoop, FiguresLaunchAfterTheFrameAndFlyFromTheNext) {
    state.burst_latch = false;
    frame(1000);
    EXPECT_EQ(active_figures(), 0) << "no figure at tick 1000";
    frame(1001);
    EXPECT_EQ(active_figures(), 1) << "launched after the frame at 1001";
    EXPECT_EQ(bursts[0].age, 0) << "not yet drawn";
    frame(1002);
    EXPECT_EQ(active_figures(), 1);
    EXPECT_EQ(bursts[0].age, 32) << "first drawn in the next frame";
}

TEST(Intro, PlaysExactly300FramesFromAFixedStart) {
    frame_attach_storage();
    if (demo_font == nullptr)
        demo_font = create_font(font_glyphs, FONT_GLYPH_SIZE, FONT_GLYPH_SIZE);
    ASSERT_EQ(load_intro_resources(), 0) << "run from the repository root, which holds res/";
    frame_count = 0xFFFFFFFF;
    IntroState state{};
    int frames = 0;
    while (intro_running()) {
        draw_intro_frame(&state);
        if (frames == 0) {
            Matrix turned;
            matrix_rotation_y(&turned, static_cast<Fixed>(0xFFFF0000));  // -1 degree
            EXPECT_EQ(intro_root->local.m[3][1], 0xA0000) << "the cube starts 10.0 down";
            EXPECT_EQ(intro_root->local.m[3][2], 0xB40000);
            EXPECT_EQ(std::memcmp(&intro_group->local, &turned, sizeof turned), 0);
            // Both words in white over the cube: "Proudly" at (88, 0), "Presents" at (72, 50).
            EXPECT_EQ(intro_texts[0]->x, 88);
            EXPECT_EQ(intro_texts[1]->x, 72);
            EXPECT_EQ(intro_texts[1]->y, 50);
            EXPECT_EQ(draw_colour, COLOUR_WHITE);
        }
        ++frame_count;
        ++frames;
    }
    EXPECT_EQ(frames, 300);
    EXPECT_EQ(frame_count, 299u) << "the main loop's first frame runs with 299";
}

}  // namespace
