#include "render/lines.h"

#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

#include "core/framebuffer.h"

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

// The walk with one error term: started at major / 2, it loses minor each step; when it falls
// below 0 the minor axis steps and it gains major. Only the pixels inside the frame are kept.
Pixels model_line(int x, int y, int x1, int y1) {
    const int dx = std::abs(x1 - x), dy = std::abs(y1 - y), major = std::max(dx, dy);
    int& along = dx > dy ? x : y;
    int& across = dx > dy ? y : x;
    const int step_along = dx > dy ? (x < x1 ? 1 : -1) : (y < y1 ? 1 : -1);
    const int step_across = dx > dy ? (y < y1 ? 1 : -1) : (x < x1 ? 1 : -1);
    Pixels out;
    for (int k = 0, error = major / 2; k <= major; ++k, along += step_along) {
        if (x >= 0 && x < FRAME_WIDTH && y >= 0 && y < FRAME_HEIGHT) out.push_back({x, y});
        if ((error -= std::min(dx, dy)) < 0) error += major, across += step_across;
    }
    std::sort(out.begin(), out.end(), [](auto a, auto b) {
        return std::pair(a.second, a.first) < std::pair(b.second, b.first);
    });
    return out;
}

// Lines in every direction, inside the frame and across its edges, against the model; ends
// far outside are clipped without walking them.
TEST_F(LinesTest, MatchesTheWalkAndClipsFarEnds) {
    std::mt19937 random(4);
    std::uniform_int_distribution<int> x(-300, 700), y(-200, 440), near(0, 12);
    for (int n = 0; n < 600; ++n) {
        int line[4] = {x(random), y(random), x(random), y(random)};
        if (n % 3 == 0) line[2] = line[0] + near(random) - 6, line[3] = line[1] + near(random) - 6;
        draw_line(line[0], line[1], line[2], line[3], 9);
        ASSERT_EQ(take_pixels(), model_line(line[0], line[1], line[2], line[3]))
            << line[0] << "," << line[1] << " -> " << line[2] << "," << line[3];
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
