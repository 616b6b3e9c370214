// capture's parts: the palette in YCbCr, the 4:2:0 planes, the streamed WAV file, and the
// headless show's music clock at a chosen frame period. Whole runs are in capture_cli_test.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/framebuffer.h"
#include "demo/headless.h"
#include "tools/run_tool.h"
#include "video.h"
#include "yuv.h"

namespace {

uint32_t rgbx(int r, int g, int b) {
    return static_cast<uint32_t>(r) << 24 | static_cast<uint32_t>(g) << 16 |
           static_cast<uint32_t>(b) << 8;
}

int decode_error(Ycc ycc, uint32_t colour) {
    const std::array<uint8_t, 3> back = rgb_from_ycc(ycc);
    int worst = 0;
    for (int k = 0; k < 3; ++k)
        worst =
            std::max(worst, std::abs(back[k] - static_cast<int>(colour >> (24 - 8 * k) & 0xFF)));
    return worst;
}

TEST(PaletteYcc, PrimariesSitNextToTheirTextbookCodesAndDecodeNoWorse) {
    // BT.709, limited range: the published 8-bit codes, each component rounded on its own.
    // The chosen code may differ by a step where that decodes nearer the colour (black and
    // white decode exactly from theirs, so from the chosen ones too).
    struct Case {
        uint32_t colour;
        Ycc textbook;
    };
    const Case cases[] = {
        {rgbx(0, 0, 0), {16, 128, 128}},   {rgbx(255, 255, 255), {235, 128, 128}},
        {rgbx(255, 0, 0), {63, 102, 240}}, {rgbx(0, 255, 0), {173, 42, 26}},
        {rgbx(0, 0, 255), {32, 240, 118}}, {rgbx(168, 87, 0), {100, 82, 167}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.colour);
        const Ycc got = ycc_from_rgbx(c.colour);
        EXPECT_LE(std::abs(got.y - c.textbook.y), 1);
        EXPECT_LE(std::abs(got.cb - c.textbook.cb), 1);
        EXPECT_LE(std::abs(got.cr - c.textbook.cr), 1);
        EXPECT_LE(decode_error(got, c.colour), decode_error(c.textbook, c.colour));
    }
}

TEST(PaletteYcc, EveryPaletteColourComesBackWithinOneStep) {
    const std::array<Ycc, 256> table = ycc_palette(palette);
    int exact = 0;
    for (int i = 0; i < 256; ++i) {
        const uint32_t c = palette[i];
        const int want[3] = {static_cast<int>(c >> 24), static_cast<int>(c >> 16 & 0xFF),
                             static_cast<int>(c >> 8 & 0xFF)};
        const std::array<uint8_t, 3> back = rgb_from_ycc(table[i]);
        bool same = true;
        for (int k = 0; k < 3; ++k) {
            EXPECT_LE(std::abs(back[k] - want[k]), 1) << "palette entry " << i << " channel " << k;
            same = same && back[k] == want[k];
        }
        exact += same;
        // Greys carry no colour: any tint would show on the black background and white text.
        if (want[0] == want[1] && want[1] == want[2]) {
            EXPECT_EQ(table[i].cb, 128) << "palette entry " << i;
            EXPECT_EQ(table[i].cr, 128) << "palette entry " << i;
        }
    }
    // 8-bit YCbCr cannot hold every colour; the search finds an exact code for many of them.
    EXPECT_GE(exact, 100);
}

TEST(PaletteYcc, EachFramePixelOwnsATwoByTwoLumaBlockAndOneChromaSample) {
    std::array<Ycc, 256> table{};
    for (int i = 0; i < 256; ++i)
        table[i] = Ycc{static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                       static_cast<uint8_t>(i ^ 0x55)};
    const int32_t w = 3;
    const int32_t h = 2;
    const uint8_t frame[w * h] = {1, 2, 3, 4, 5, 6};
    // Strides wider than the rows: the padding must stay as it was.
    const int32_t ys = 8;
    const int32_t cs = 5;
    std::vector<uint8_t> y(ys * 2 * h, 0xEE);
    std::vector<uint8_t> cb(cs * h, 0xEE);
    std::vector<uint8_t> cr(cs * h, 0xEE);
    frame_to_yuv420(frame, w, h, table, y.data(), ys, cb.data(), cs, cr.data(), cs);
    for (int32_t row = 0; row < 2 * h; ++row) {
        for (int32_t x = 0; x < ys; ++x) {
            const uint8_t want = x < 2 * w ? frame[(row / 2) * w + x / 2] : 0xEE;
            EXPECT_EQ(y[row * ys + x], want) << "luma " << x << "," << row;
        }
    }
    for (int32_t row = 0; row < h; ++row) {
        for (int32_t x = 0; x < cs; ++x) {
            const uint8_t index = x < w ? frame[row * w + x] : 0;
            EXPECT_EQ(cb[row * cs + x], x < w ? table[index].cb : 0xEE) << x << "," << row;
            EXPECT_EQ(cr[row * cs + x], x < w ? table[index].cr : 0xEE) << x << "," << row;
        }
    }
}

TEST(VideoName, TheExtensionChoosesTheContainerInAnyCase) {
    struct Case {
        const char* path;
        VideoContainer container;
    };
    const Case cases[] = {
        {"show.mp4", VideoContainer::mp4},       {"show.MP4", VideoContainer::mp4},
        {"show.Mp4", VideoContainer::mp4},       {"out/show.webm", VideoContainer::webm},
        {"show.WebM", VideoContainer::webm},     {"a.b/show.mp4", VideoContainer::mp4},
        {"show.mp4.part", VideoContainer::none}, {"show.avi", VideoContainer::none},
        {"mp4", VideoContainer::none},           {"clips.mp4/show", VideoContainer::none},
        {"show.", VideoContainer::none},         {"", VideoContainer::none},
    };
    for (const Case& c : cases)
        EXPECT_EQ(video_container_for(c.path), c.container) << "'" << c.path << "'";
}

TEST(HeadlessClock, MusicSamplesFollowTheFramePeriod) {
    struct Case {
        FramePeriod period;
        uint64_t frame;
        uint64_t sample;
    };
    const Case cases[] = {
        // The show's pace: k x 17 ms at 44100 Hz, rounded down (749.7 samples a frame).
        {{17, 1}, 0, 0},
        {{17, 1}, 1, 749},
        {{17, 1}, 3, 2249},
        {{17, 1}, 1000, 749700},
        // Sixty a second: exactly 735 samples a frame, however far into the show.
        {{1000, 60}, 1, 735},
        {{1000, 60}, 59, 43365},
        {{1000, 60}, 60, 44100},
        {{1000, 60}, 1000000000000000ull, 735000000000000000ull},
        // The largest terms allowed: k x 65535 x 44100 would pass 64 bits here.
        {{65535, 1}, 10000000000ull, 28900935000000000ull},
        {{65535, 65535}, 1000000000000ull, 44100000000000ull},
        {{1, 65535}, 65535ull * 1000, 44100},
    };
    HeadlessShow show{};
    for (const Case& c : cases) {
        ASSERT_EQ(headless_set_frame_period(&show, c.period), 0);
        EXPECT_EQ(headless_music_sample(show, c.frame), c.sample)
            << c.period.ms_numerator << "/" << c.period.ms_denominator << " frame " << c.frame;
    }
    for (FramePeriod bad : {FramePeriod{0, 1}, FramePeriod{1, 0}, FramePeriod{65536, 1}}) {
        EXPECT_EQ(headless_set_frame_period(&show, bad), -1);
        EXPECT_EQ(show.period.ms_numerator, 1u);  // the last good period stays
    }
}

}  // namespace
