#include "render/lines.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <utility>
#include <vector>

#include "platform/framebuffer.h"

namespace {

using Pixels = std::vector<std::pair<int, int>>;

// The single-error-term Bresenham walk, step by step, keeping the points inside the frame.
Pixels reference_line(int x0, int y0, int x1, int y1) {
    const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    const int dy = std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int err = dx > dy ? dx / 2 : -(dy / 2);
    Pixels out;
    for (int x = x0, y = y0;;) {
        if (x >= 0 && x < FRAME_WIDTH && y >= 0 && y < FRAME_HEIGHT) out.push_back({x, y});
        if (x == x1 && y == y1) break;
        const int e = err;
        if (e > -dx) err -= dy, x += sx;
        if (e < dy) err += dx, y += sy;
    }
    return out;
}

class LinesTest : public ::testing::Test {
   protected:
    void SetUp() override {
        frame_attach_storage();
        clear_frame(0);
    }
    // The set pixels, in row order, then cleared.
    static Pixels take_pixels() {
        Pixels out;
        for (int y = 0; y < FRAME_HEIGHT; ++y)
            for (int x = 0; x < FRAME_WIDTH; ++x)
                if (framebuffer.pixels[y * FRAME_WIDTH + x] != 0) out.push_back({x, y});
        clear_frame(0);
        return out;
    }
    static Pixels sorted(Pixels p) {
        std::sort(p.begin(), p.end(), [](auto a, auto b) {
            return std::pair(a.second, a.first) < std::pair(b.second, b.first);
        });
        return p;
    }
};

TEST_F(LinesTest, PlotsBothEndsInEitherDirection) {
    draw_line(5, 5, 5, 5, 3);
    EXPECT_EQ(take_pixels(), Pixels({{5, 5}}));
    draw_line(0, 0, 3, 1, 3);
    EXPECT_EQ(take_pixels(), Pixels({{0, 0}, {1, 0}, {2, 1}, {3, 1}}));
    draw_line(3, 1, 0, 0, 3);
    EXPECT_EQ(take_pixels(), Pixels({{0, 0}, {1, 0}, {2, 1}, {3, 1}}));
}

// Lines inside the frame match the step-by-step walk exactly; lines crossing its edges keep
// exactly the walk's pixels that fall inside.
TEST_F(LinesTest, MatchesStepwiseWalkInsideAndClipped) {
    std::mt19937 random(3);
    std::uniform_int_distribution<int> inside_x(0, 399), inside_y(0, 239);
    std::uniform_int_distribution<int> around(-700, 1100);
    for (int n = 0; n < 3000; ++n) {
        const bool clipped = n % 2 == 1;
        const int x0 = clipped ? around(random) : inside_x(random);
        const int y0 = clipped ? around(random) : inside_y(random);
        const int x1 = clipped ? around(random) : inside_x(random);
        const int y1 = clipped ? around(random) : inside_y(random) / (n % 5 + 1);
        draw_line(x0, y0, x1, y1, 9);
        ASSERT_EQ(take_pixels(), sorted(reference_line(x0, y0, x1, y1)))
            << x0 << "," << y0 << " -> " << x1 << "," << y1;
    }
}

TEST_F(LinesTest, FarEndsAreClippedWithoutWalkingThem) {
    draw_line(INT32_MIN, 100, INT32_MAX, 100, 1);
    draw_line(7, INT32_MAX, 7, INT32_MIN, 1);
    draw_line(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, 1);  // the diagonal misses nothing
    draw_line(-5000000, 300, 5000000, 300, 1);                 // below the frame
    const Pixels pixels = take_pixels();
    EXPECT_EQ(pixels.size(), 400u + 240u + 240u - 3u);  // three crossings
    for (auto [x, y] : pixels) EXPECT_TRUE(y == 100 || x == 7 || x == y) << x << "," << y;
}

TEST_F(LinesTest, LineListDrawsInDrawColour) {
    LineList* list = create_line_list(2, 4);
    ASSERT_NE(list, nullptr);
    set_line(list, 0, 0, 0, 9, 0);
    set_line(list, 1, 0, 2, 9, 2);
    set_line(list, 2, 0, 4, 9, 4);  // beyond count: ignored
    EXPECT_EQ(list->lines[1].colour, 4u);
    int32_t x0 = -1, y0 = -1, x1 = -1, y1 = -1;
    get_line(list, 1, &x0, &y0, &x1, &y1);
    EXPECT_EQ((std::vector<int32_t>{x0, y0, x1, y1}), (std::vector<int32_t>{0, 2, 9, 2}));
    set_draw_colour(11);
    draw_line_list(list, 0);
    EXPECT_TRUE(take_pixels().empty());
    draw_line_list(list, 99);
    EXPECT_EQ(framebuffer.pixels[2 * FRAME_WIDTH + 9], 11);
    EXPECT_EQ(take_pixels().size(), 20u);
    free_line_list(list);
    free_line_list(nullptr);
    draw_line_list(nullptr, 5);
}

TEST_F(LinesTest, RectanglesExcludeTheirMaximumEdges) {
    RectList* list = create_rect_list(5);
    ASSERT_NE(list, nullptr);
    set_rect(list, 0, 10, 10, 20, 15);       // 10 x 5
    set_rect(list, 1, 40, 15, 30, 10);       // the same size, corners swapped
    set_rect(list, 2, 50, 10, 50, 90);       // no width
    set_rect(list, 3, -5, -5, 3, 2);         // clipped to 3 x 2
    set_rect(list, 4, 390, 230, 9000, 900);  // clipped to 10 x 10
    set_draw_colour(5);
    fill_rect_list(list, 5);
    const Pixels pixels = take_pixels();
    EXPECT_EQ(pixels.size(), 50u + 50u + 6u + 100u);
    for (auto [x, y] : pixels) {
        const bool first = x >= 10 && x < 20 && y >= 10 && y < 15;
        const bool second = x >= 30 && x < 40 && y >= 10 && y < 15;
        const bool corner = x < 3 && y < 2;
        const bool far = x >= 390 && y >= 230;
        EXPECT_TRUE(first || second || corner || far) << x << "," << y;
    }
    int32_t x1 = 0, y1 = 0;
    get_rect(list, 1, nullptr, nullptr, &x1, &y1);
    EXPECT_EQ(x1, 30);
    EXPECT_EQ(y1, 10);
    free_rect_list(list);
}

TEST_F(LinesTest, ImageBlitCopiesZeroAndClips) {
    uint8_t pixels[6] = {1, 0, 2, 3, 4, 5};
    clear_frame(9);
    Image* image = create_image_over(3, 2, pixels);
    ASSERT_NE(image, nullptr);
    set_image_position(image, 10, 20);
    blit_image(image);
    EXPECT_EQ(framebuffer.pixels[20 * FRAME_WIDTH + 11], 0);
    EXPECT_EQ(framebuffer.pixels[21 * FRAME_WIDTH + 12], 5);
    set_image_position(image, 398, 239);  // only the top-left 2 x 1 fits
    blit_image(image);
    EXPECT_EQ(framebuffer.pixels[239 * FRAME_WIDTH + 398], 1);
    EXPECT_EQ(framebuffer.pixels[239 * FRAME_WIDTH + 399], 0);
    set_image_position(image, 400, 0);
    blit_image(image);
    free_image(image);

    Image* owned = create_image(2, 2);
    ASSERT_NE(owned, nullptr);
    EXPECT_EQ(owned->owns, 1);
    free_image(owned);
    free_image(nullptr);
}

}  // namespace
