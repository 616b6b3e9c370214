#include "render/lines.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "platform/framebuffer.h"

namespace {

using Pixels = std::vector<std::pair<int, int>>;

// The set pixels, in row order, then cleared.
Pixels take_pixels() {
    Pixels out;
    for (int i = 0; i < FRAME_WIDTH * FRAME_HEIGHT; ++i)
        if (framebuffer.pixels[i] != 0) out.push_back({i % FRAME_WIDTH, i / FRAME_WIDTH});
    clear_frame(0);
    return out;
}

class LinesTest : public ::testing::Test {
   protected:
    void SetUp() override {
        frame_attach_storage();
        clear_frame(0);
    }
};

TEST_F(LinesTest, PlotsBothEndsInEitherDirection) {
    const struct {
        int x0, y0, x1, y1;
        Pixels pixels;
    } cases[] = {
        {5, 5, 5, 5, {{5, 5}}},
        {0, 0, 3, 1, {{0, 0}, {1, 0}, {2, 1}, {3, 1}}},
        {3, 1, 0, 0, {{0, 0}, {1, 0}, {2, 1}, {3, 1}}},
        {7, 3, 7, 0, {{7, 0}, {7, 1}, {7, 2}, {7, 3}}},
        {2, 0, 0, 4, {{2, 0}, {2, 1}, {1, 2}, {1, 3}, {0, 4}}},
    };
    for (const auto& c : cases) {
        draw_line(c.x0, c.y0, c.x1, c.y1, 3);
        EXPECT_EQ(take_pixels(), c.pixels) << c.x0 << "," << c.y0 << " -> " << c.x1 << "," << c.y1;
    }
}

// A line crossing the frame's edges keeps exactly the pixels inside of the same line drawn
// whole within the frame and moved; ends far outside are clipped without walking them.
TEST_F(LinesTest, ClippedLinesKeepTheWalkInside) {
    const int lines[][4] = {{10, 10, 390, 150},
                            {390, 230, 20, 5},
                            {30, 5, 70, 235},
                            {300, 20, 250, 220},
                            {5, 120, 395, 119}};
    const int shifts[][2] = {{-200, 0}, {200, 0}, {0, -100}, {0, 100}, {-150, 90}, {170, -60}};
    for (const auto& l : lines) {
        draw_line(l[0], l[1], l[2], l[3], 9);
        const Pixels whole = take_pixels();
        for (const auto& s : shifts) {
            Pixels expected;
            for (auto [x, y] : whole) {
                if (x + s[0] >= 0 && x + s[0] < 400 && y + s[1] >= 0 && y + s[1] < 240)
                    expected.push_back({x + s[0], y + s[1]});
            }
            std::sort(expected.begin(), expected.end(), [](auto a, auto b) {
                return std::pair(a.second, a.first) < std::pair(b.second, b.first);
            });
            draw_line(l[0] + s[0], l[1] + s[1], l[2] + s[0], l[3] + s[1], 9);
            ASSERT_EQ(take_pixels(), expected)
                << l[0] << "," << l[1] << " moved " << s[0] << "," << s[1];
        }
    }
    draw_line(INT32_MIN, 100, INT32_MAX, 100, 1);
    draw_line(7, INT32_MAX, 7, INT32_MIN, 1);
    draw_line(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, 1);  // the diagonal misses nothing
    draw_line(-5000000, 300, 5000000, 300, 1);                 // below the frame
    const Pixels pixels = take_pixels();
    EXPECT_EQ(pixels.size(), 400u + 240u + 240u - 3u);  // three crossings
    for (auto [x, y] : pixels) EXPECT_TRUE(y == 100 || x == 7 || x == y) << x << "," << y;
}

// Lists draw in draw_colour: up to n lines; rectangles without their maximum edges.
TEST_F(LinesTest, LineAndRectangleLists) {
    set_draw_colour(5);
    LineList* lines = create_line_list(2, 4);
    set_line(lines, 0, 0, 0, 9, 0);
    set_line(lines, 1, 0, 2, 9, 2);
    set_line(lines, 2, 0, 4, 9, 4);  // beyond count: ignored
    draw_line_list(lines, 1);
    EXPECT_EQ(take_pixels().size(), 10u);
    draw_line_list(lines, 99);
    EXPECT_EQ(framebuffer.pixels[2 * FRAME_WIDTH + 9], 5);
    EXPECT_EQ(take_pixels().size(), 20u);
    free_line_list(lines);

    RectList* rects = create_rect_list(5);
    set_rect(rects, 0, 10, 10, 20, 15);       // 10 x 5
    set_rect(rects, 1, 40, 15, 30, 10);       // the same size, corners swapped
    set_rect(rects, 2, 50, 10, 50, 90);       // no width
    set_rect(rects, 3, -5, -5, 3, 2);         // clipped to 3 x 2
    set_rect(rects, 4, 390, 230, 9000, 900);  // clipped to 10 x 10
    fill_rect_list(rects, 5);
    const Pixels pixels = take_pixels();
    EXPECT_EQ(pixels.size(), 50u + 50u + 6u + 100u);
    for (auto [x, y] : pixels) {
        const bool first = x >= 10 && x < 20 && y >= 10 && y < 15;
        const bool second = x >= 30 && x < 40 && y >= 10 && y < 15;
        EXPECT_TRUE(first || second || (x < 3 && y < 2) || (x >= 390 && y >= 230)) << x << "," << y;
    }
    free_rect_list(rects);
}

TEST_F(LinesTest, ImageBlitCopiesZeroAndClips) {
    uint8_t pixels[6] = {1, 0, 2, 3, 4, 5};
    clear_frame(9);
    Image* image = create_image_over(3, 2, pixels);
    set_image_position(image, 10, 20);
    blit_image(image);
    EXPECT_EQ(framebuffer.pixels[20 * FRAME_WIDTH + 11], 0);
    EXPECT_EQ(framebuffer.pixels[21 * FRAME_WIDTH + 12], 5);
    set_image_position(image, 398, 200);  // only the left 2 x 2 fits
    blit_image(image);
    EXPECT_EQ(framebuffer.pixels[201 * FRAME_WIDTH + 398], 3);
    EXPECT_EQ(framebuffer.pixels[201 * FRAME_WIDTH], 9) << "no column past the right edge";
    free_image(image);
}

}  // namespace
