// Whole frames drawn headless as capture draws them equal the reference images; regenerate with
//   build/tools/capture/capture --out tests/demo/reference --frame 0 --frame 200 ...
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/clock.h"
#include "core/expand.h"
#include "core/framebuffer.h"
#include "demo/headless.h"
#include "png_io.h"

namespace {

TEST(ShowFrames, MatchTheReferenceImages) {
    HeadlessShow show;
    ASSERT_EQ(headless_start(&show, "res/brumo.mod", nullptr, nullptr), 0);
    std::vector<uint32_t> surface(SCREEN_WIDTH * SCREEN_HEIGHT);
    // Intro (two), phase 1 (tick 500), the first flash (920), phase 3 with figures (1100).
    for (const char* frame : {"00000", "00200", "00888", "01383", "01595"}) {
        while (show.frame <= std::stoull(frame)) headless_next_frame(&show);
        expand_frame(rgbx_surface_palette(), framebuffer.pixels, FRAME_WIDTH, FRAME_HEIGHT,
                     surface.data(), SCREEN_WIDTH * 4);
        RgbImage want;
        std::string error;
        ASSERT_TRUE(read_png_rgb(std::string("tests/demo/reference/frame_") + frame + ".png", &want,
                                 &error))
            << error;
        ASSERT_EQ(want.width * want.height, SCREEN_WIDTH * SCREEN_HEIGHT);
        int differing = 0;
        for (int i = 0; i < SCREEN_WIDTH * SCREEN_HEIGHT; ++i) {
            const uint8_t* r = &want.rgb[3 * i];
            differing +=
                (uint32_t{r[0]} << 24 | uint32_t{r[1]} << 16 | uint32_t{r[2]} << 8) != surface[i];
        }
        EXPECT_EQ(differing, 0) << "frame " << frame << " (tick " << tick_count.load() << ")";
    }
}

}  // namespace
