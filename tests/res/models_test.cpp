// The committed models stay inside the frame however the show poses them. (How
// they load and look is pinned by the loaders' reference and the show's
// reference frames.)
#include <gtest/gtest.h>

#include <algorithm>

#include "core/clock.h"
#include "core/framebuffer.h"
#include "demo/headless.h"
#include "demo/intro.h"
#include "demo/show.h"
#include "render/raster.h"

namespace {

// The extremes of a model's projected vertices in the frames measured.
struct Extent {
    int32_t left = 1 << 30, right = -(1 << 30), top = 1 << 30, bottom = -(1 << 30);
    Fixed nearest = 0x7FFFFFFF;
    Extent& measure(const Model* model) {
        for (uint64_t i = 0; i < model->vertex_list->count; ++i) {
            const auto* v = static_cast<const Vertex*>(model->vertex_list->items[i]);
            left = std::min(left, v->screen_x), right = std::max(right, v->screen_x);
            top = std::min(top, v->screen_y), bottom = std::max(bottom, v->screen_y);
            nearest = std::min(nearest, v->view_z);
        }
        return *this;
    }
    bool inside() const {
        return left >= 0 && right < RASTER_WIDTH && top >= 0 && bottom < RASTER_HEIGHT &&
               nearest > 0x10000;
    }
};

// The show's own start-up and frames pose the models, so these checks see
// exactly what the program shows.
class ShowPoses : public testing::Test {
   protected:
    static void SetUpTestSuite() {
        static HeadlessShow show;
        ASSERT_EQ(headless_start(&show, nullptr, nullptr, nullptr), 0);
    }
};

TEST_F(ShowPoses, CubeStaysInsideThroughTheIntro) {
    frame_count = 0xFFFFFFFF;
    IntroState intro{};
    while (intro_running()) {
        draw_intro_frame(&intro);
        EXPECT_TRUE(Extent().measure(intro_cube).inside()) << "intro frame " << frame_count + 1;
        ++frame_count;
    }
}

TEST_F(ShowPoses, PumpkinStaysInsideThroughTurnTiltBobAndSwell) {
    frame_count = 299;
    MainLoopState state{};
    Extent all;
    // Phase 1 turns through two full turns, phase 2 tilts, phase 3 repeats every
    // 24 ticks; a stretch of phase 3 far on checks that nothing changes as the
    // count grows.
    for (uint32_t tick = 0; tick < 500048; tick = tick == 1100 ? 500000 : tick + 1) {
        tick_count.store(tick);
        draw_main_frame(&state);
        EXPECT_TRUE(Extent().measure(pumpkin_model).inside()) << "tick " << tick;
        all.measure(pumpkin_model);
        finish_main_frame(&state);
    }
    tick_count.store(0);
    // Big enough to be the show's centrepiece.
    EXPECT_GE(all.right - all.left, 120);
    EXPECT_GE(all.bottom - all.top, 100);
}

}  // namespace
