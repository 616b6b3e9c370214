// The SDL-free core: palette, frame expansion, pacing, and the random sequence against rand().
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "core/clock.h"
#include "core/expand.h"
#include "core/framebuffer.h"
#include "core/random.h"
#include "util/recorded.h"

namespace {

// All 256 entries through a checksum (the expansion cases below show entries 6 and 9).
TEST(Palette, Checksum) {
    Hash sum;
    for (uint32_t c : palette) sum.word(c);
    EXPECT_EQ(sum.value, 0xbead8d52c2d5ac25ull);
}

// Index 6 is A8 57 00, index 9 is 57 57 FF: the window's layout, the canvas's and 5-6-5.
TEST(Expansion, PlacesEachChannelUnderItsMask) {
    const uint32_t cases[][6] = {
        {0xFF000000, 0x00FF0000, 0x0000FF00, 0, 6, 0xA8570000},
        {0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000, 6, 0xFF0057A8},
        {0xF800, 0x07E0, 0x001F, 0, 6, (0xA8 >> 3) << 11 | (0x57 >> 2) << 5},
        {0xF800, 0x07E0, 0x001F, 0, 9, (0x57 >> 3) << 11 | (0x57 >> 2) << 5 | 0x1F},
    };
    for (const auto& [r, g, b, a, index, pixel] : cases) {
        SurfacePalette colours;
        make_surface_palette(r, g, b, a, &colours);
        EXPECT_EQ(colours.pairs[index], uint64_t{pixel} * 0x100000001ull) << pixel;
    }
}

// Each pixel doubled, past-the-row pitch left alone; the odd size runs the per-pixel tail.
TEST(Expansion, DoublesEveryPixelIntoTheRowsOnly) {
    SurfacePalette colours;
    make_surface_palette(0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000, &colours);
    for (auto [w, h] : {std::pair{FRAME_WIDTH, FRAME_HEIGHT}, std::pair{7, 3}}) {
        const int32_t pitch = 2 * w + 3;
        std::vector<uint8_t> src(static_cast<size_t>(w * h));
        for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint8_t>(i * 7 + i / w);
        std::vector<uint32_t> dst(static_cast<size_t>(pitch * 2 * h), 0xDEADBEEF);
        expand_frame(colours, src.data(), w, h, dst.data(), pitch * 4);
        int wrong = 0;
        for (int32_t i = 0; i < pitch * 2 * h; ++i) {
            const int32_t x = i % pitch, y = i / pitch;
            wrong +=
                dst[i] != (x < 2 * w ? static_cast<uint32_t>(colours.pairs[src[y / 2 * w + x / 2]])
                                     : 0xDEADBEEFu);
        }
        EXPECT_EQ(wrong, 0) << w << " x " << h;
    }
}

// The rest of 17 ms is waited (none after 0 ms, a wrapped or lagging clock); the rate line.
TEST(Pacing, WaitAndFrameRateLine) {
    const uint32_t waits[][3] = {{1000, 1005, 12},    {1000, 1001, 16},  {1000, 1016, 1},
                                 {1000, 1017, 0},     {1000, 1030, 0},   {1000, 1000, 0},
                                 {0xFFFFFFFE, 3, 12}, {5, 0xFFFFFFF0, 0}};
    for (const auto& [stamp, now, wait] : waits) EXPECT_EQ(pacing_delay(stamp, now), wait) << now;
    const std::pair<uint32_t, const char*> lines[] = {
        {17, "FPS: 58.8\r"}, {2000, "FPS: 0.5\r"}, {1, "FPS: 1000.0\r"}, {0, "FPS: inf\r"}};
    for (const auto& [elapsed, want] : lines) {
        char line[64];
        EXPECT_EQ(format_fps_line(line, sizeof line, elapsed), static_cast<int>(std::strlen(want)));
        EXPECT_STREQ(line, want);
    }
}

TEST(RandSequence, MatchesTheCLibraryForEverySeed) {
    for (uint32_t seed : {1u, 0u, 2u, 12345u, 2147483647u, 2147483648u, 4294967295u}) {
        std::srand(seed);
        RandSequence s;
        rand_sequence_seed(&s, seed);
        int differing = 0;
        for (int i = 0; i < 5000; ++i) differing += rand_sequence_next(&s) != std::rand();
        EXPECT_EQ(differing, 0) << "seed " << seed;
    }
}

}  // namespace
