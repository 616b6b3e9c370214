// Whole frames of the show, drawn headless exactly as the capture tool draws them, against
// reference images. Everything is integer and rand() restarts from its unseeded state, so
// the frames must match to the pixel. When the look changes on purpose, regenerate them:
//   build/tools/capture/capture --out tests/demo/reference --frame 0 --frame 200 ...
// with the frame numbers below.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/clock.h"
#include "core/expand.h"
#include "core/framebuffer.h"
#include "demo/headless.h"
#include "png_io.h"

namespace {

// The intro's first and a middle frame; phase 1 near tick 500; the first flash (tick 920);
// phase 3 with figures in flight (tick 1100).
const uint64_t kFrames[] = {0, 200, 888, 1383, 1595};

std::string reference_path(uint64_t frame) {
    char name[64];
    std::snprintf(name, sizeof name, "tests/demo/reference/frame_%05llu.png",
                  static_cast<unsigned long long>(frame));
    return name;
}

TEST(ShowFrames, MatchTheReferenceImages) {
    if (std::FILE* f = std::fopen("res/brumo.mod", "rb")) {
        std::fclose(f);
    } else {
        GTEST_SKIP() << "res/ is not present";
    }
    HeadlessShow show;
    ASSERT_EQ(headless_start(&show, "res/brumo.mod", nullptr, nullptr), 0);
    std::vector<uint32_t> surface(SCREEN_WIDTH * SCREEN_HEIGHT);
    for (uint64_t target : kFrames) {
        while (show.frame <= target) headless_next_frame(&show);
        expand_frame(rgbx_surface_palette(), framebuffer.pixels, FRAME_WIDTH, FRAME_HEIGHT,
                     surface.data(), SCREEN_WIDTH * 4);
        RgbImage reference;
        std::string error;
        ASSERT_TRUE(read_png_rgb(reference_path(target), &reference, &error)) << error;
        ASSERT_EQ(reference.width, SCREEN_WIDTH);
        ASSERT_EQ(reference.height, SCREEN_HEIGHT);
        int differing = 0;
        for (int i = 0; i < SCREEN_WIDTH * SCREEN_HEIGHT; ++i) {
            const uint32_t c = surface[i];
            const uint8_t* r = &reference.rgb[3 * i];
            differing +=
                r[0] != (c >> 24 & 0xFF) || r[1] != (c >> 16 & 0xFF) || r[2] != (c >> 8 & 0xFF);
        }
        EXPECT_EQ(differing, 0) << "frame " << target << " (tick " << tick_count.load() << ")";
    }
}

}  // namespace
