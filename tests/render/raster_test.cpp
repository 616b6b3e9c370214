#include "render/raster.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <vector>

#include "core/clock.h"
#include "core/framebuffer.h"

namespace {

constexpr uint8_t INK = 7;

Fixed fixed(double value) {
    return static_cast<Fixed>(value * FIXED_ONE);
}
uint8_t& pixel_at(int x, int y) {
    return framebuffer.pixels[y * FRAME_WIDTH + x];
}
uint16_t& depth_at(int x, int y) {
    return depth_buffer[y * RASTER_WIDTH + x];
}

// A triangle over three already-projected corners, as the fillers read them.
struct TestTriangle {
    Vertex v[3] = {};
    TexCoord tc[3] = {};
    Triangle t = {{&v[0], &v[1], &v[2]}, {}, nullptr, PIXEL_COUNT_UNDRAWN, INK, 0};

    TestTriangle(const int (&corners)[3][2], double depth) {
        for (int i = 0; i < 3; ++i) v[i].screen_x = corners[i][0], v[i].screen_y = corners[i][1];
        for (Vertex& vertex : v) vertex.view_z = fixed(depth);
    }
    void map(const Texture* texture, const int (&uv)[3][2]) {
        for (int i = 0; i < 3; ++i) tc[i] = {uv[i][0], uv[i][1]}, t.texcoords[i] = &tc[i];
        t.texture = const_cast<Texture*>(texture);
    }
};

// Texel i holds first + i (mod 256).
struct OwnedTexture {
    std::vector<uint8_t> pixels;
    Texture texture;
    OwnedTexture(uint32_t width, uint32_t height, int first) : pixels(width * height) {
        for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(first + i);
        texture = {pixels.data(), width, height};
    }
};

class RasterTest : public ::testing::Test {
   protected:
    void SetUp() override {
        frame_attach_storage();
        clear_frame(0);
        clear_depth();
    }
};

const int kSmall[3][2] = {{10, 10}, {20, 10}, {10, 20}};

TEST_F(RasterTest, FlatTriangleCoversLeftAndTopEdgesWithAStrictDepthTest) {
    TestTriangle tri(kSmall, 40.0);
    draw_flat_triangle(&tri.t);
    EXPECT_EQ(tri.t.pixel_count, 55);
    for (int y = 0; y < FRAME_HEIGHT; ++y) {
        for (int x = 0; x < FRAME_WIDTH; ++x) {
            const bool inside = y >= 10 && y < 20 && x >= 10 && x < 30 - y;
            ASSERT_EQ(pixel_at(x, y), inside ? INK : 0) << x << "," << y;
            ASSERT_EQ(depth_at(x, y), inside ? 40 : DEPTH_EMPTY) << x << "," << y;
        }
    }
    draw_flat_triangle(&tri.t);
    EXPECT_EQ(tri.t.pixel_count, 0);  // equal depth does not pass
    TestTriangle nearer(kSmall, 39.5);
    nearer.t.flat_colour = 9;
    draw_flat_triangle(&nearer.t);
    EXPECT_EQ(nearer.t.pixel_count, 55);
    EXPECT_EQ(pixel_at(10, 19), 9);
    EXPECT_EQ(depth_at(10, 19), 39);
}

TEST_F(RasterTest, EmptyOffFrameWholeFrameAndBrokenTriangles) {
    const struct {
        const char* name;
        int corners[3][2];
        int32_t count;  // PIXEL_COUNT_UNDRAWN: left as it was
    } cases[] = {
        {"one row", {{10, 50}, {30, 50}, {20, 50}}, PIXEL_COUNT_UNDRAWN},
        {"clamped to one row above", {{10, -10}, {30, -5}, {20, 0}}, PIXEL_COUNT_UNDRAWN},
        {"clamped to one row below", {{10, 239}, {30, 239}, {20, 300}}, PIXEL_COUNT_UNDRAWN},
        {"above", {{10, -9}, {30, -5}, {20, -1}}, 0},
        {"below", {{10, 240}, {30, 250}, {20, 900}}, 0},
        {"right", {{400, 10}, {500, 10}, {450, 90}}, 0},
        {"left", {{-90, 10}, {-1, 10}, {-50, 90}}, 0},
        {"zero width", {{15, 10}, {15, 60}, {15, 30}}, 0},
        // Columns 0..398 of rows 0..238: spans and edges stop before the frame's last ones.
        {"whole frame", {{-1000, -1000}, {3000, -1000}, {-1000, 3000}}, 399 * 239},
    };
    for (const auto& c : cases) {
        SetUp();
        TestTriangle tri(c.corners, 10.0);
        draw_flat_triangle(&tri.t);
        EXPECT_EQ(tri.t.pixel_count, c.count) << c.name;
    }
    TestTriangle broken(kSmall, 10.0);  // a null corner: left alone
    broken.t.vertices[1] = nullptr;
    draw_flat_triangle(&broken.t);
    draw_textured_triangle(&broken.t);
    project_triangle(&broken.t);
    draw_flat_triangle(nullptr);
    EXPECT_EQ(broken.t.pixel_count, PIXEL_COUNT_UNDRAWN);
}

// Edges and spans clipped at the top and left start from the values they would have had when
// walked from their true start: the visible part matches the same triangle moved inside.
TEST_F(RasterTest, ClippingAboveAndLeftMatchesUnclippedWalk) {
    OwnedTexture tex(16, 16, 1);
    const int shapes[][3][2] = {{{-37, -23}, {61, -5}, {-9, 71}}, {{-60, 20}, {30, -41}, {12, 66}}};
    const int shift = 70;
    for (const auto& shape : shapes) {
        for (bool textured : {false, true}) {
            int moved[3][2];
            for (int i = 0; i < 6; ++i) moved[i / 2][i % 2] = shape[i / 2][i % 2] + shift;
            TestTriangle clipped(shape, 20.0), inside(moved, 20.0);
            for (TestTriangle* t : {&clipped, &inside}) {
                t->v[1].view_z = fixed(90.25);  // slope the depth so that z is walked too
                if (textured) t->map(&tex.texture, {{0, 0}, {15, 3}, {2, 15}});
            }
            SetUp();
            draw_textured_triangle(&inside.t);
            std::vector<uint8_t> colours(framebuffer.pixels, framebuffer.pixels + 96000);
            std::vector<uint16_t> depths(depth_buffer.begin(), depth_buffer.end());
            SetUp();
            draw_textured_triangle(&clipped.t);
            int visible = 0;
            for (int y = 0; y < 239 - shift; ++y) {
                for (int x = 0; x < 399 - shift; ++x) {
                    const int k = (y + shift) * 400 + x + shift;
                    ASSERT_EQ(pixel_at(x, y), colours[k]) << x << "," << y << " " << textured;
                    ASSERT_EQ(depth_at(x, y), depths[k]) << x << "," << y << " " << textured;
                    visible += pixel_at(x, y) != 0;
                }
            }
            EXPECT_EQ(clipped.t.pixel_count, visible);
            EXPECT_GT(visible, 100);
        }
    }
}

TEST(Projection, DepthsBelowOneProjectAsOne) {
    frame_count = 1234;
    const struct {
        double x, y, z;
        int32_t sx, sy;
    } cases[] = {
        {2.0, 0.0, 0.5, 500, 120},    {2.0, 0.0, 0.0, 500, 120}, {2.0, -1.0, -3.0, 500, -30},
        {-0.5, 0.0, 100.0, 200, 120}, {1.0, 1.0, 2.0, 275, 195}, {-3.0, 7.5, 30.0, 185, 157},
    };
    Vertex v[6] = {};
    for (int i = 0; i < 6; ++i) {
        const auto& c = cases[i];
        v[i].view_x = fixed(c.x), v[i].view_y = fixed(c.y), v[i].view_z = fixed(c.z);
        project_vertex(&v[i]);
        EXPECT_EQ(v[i].screen_x, c.sx) << c.x << "/" << c.z;
        EXPECT_EQ(v[i].screen_y, c.sy) << c.y << "/" << c.z;
        EXPECT_EQ(v[i].stamp, 1234u);
    }
    // A triangle's nearest depth is the smallest signed one.
    Triangle t = {{&v[3], &v[2], &v[0]}, {}, nullptr, 0, 15, 0};
    frame_count = 77;
    project_triangle(&t);
    EXPECT_EQ(t.nearest_depth, fixed(-3.0));
    EXPECT_EQ(v[3].stamp, 77u);
}

// The textured filler skips depths at or below zero (the flat one draws them) and draws flat
// without a usable texture.
TEST_F(RasterTest, TexturedSkipsDepthsAtOrBelowZeroAndFallsBackToFlat) {
    OwnedTexture tex(4, 4, 100);
    Texture no_pixels = {nullptr, 4, 4}, no_width = {tex.pixels.data(), 0, 4};
    const struct {
        const Texture* texture;
        double depth;
        bool all_texcoords;
        int32_t count;
    } cases[] = {{&tex.texture, 0.5, true, 0},  {&tex.texture, 0.0, true, 0},
                 {&tex.texture, -2.0, true, 0}, {&no_pixels, 10.0, true, 55},
                 {&no_width, 10.0, true, 55},   {&tex.texture, 10.0, false, 55}};
    for (const auto& c : cases) {
        SetUp();
        TestTriangle tri(kSmall, c.depth);
        tri.map(c.texture, {{0, 0}, {3, 0}, {0, 3}});
        if (!c.all_texcoords) tri.t.texcoords[2] = nullptr;
        draw_textured_triangle(&tri.t);
        EXPECT_EQ(tri.t.pixel_count, c.count) << c.depth;
        EXPECT_EQ(pixel_at(10, 19), c.count == 0 ? 0 : INK) << c.depth;
        draw_flat_triangle(&tri.t);
        EXPECT_EQ(depth_at(10, 10), static_cast<uint16_t>(static_cast<int>(c.depth))) << c.depth;
    }
}

// Right triangles with corners (0, 0), (n, 0), (0, n): pixel (x, y) with x + y < n shows `texel`.
TEST_F(RasterTest, AffineTexelLayoutAndClamping) {
    OwnedTexture small(4, 4, 100), large(255, 256, 0);  // large: rows 129 on start past 32767
    struct Case {
        const char* name;
        const Texture* texture;
        int n;
        int uv[3][2];
        int32_t count;
        std::function<int(int, int)> texel;
    };
    auto one_each = [](int x, int y) { return 100 + y * 4 + x; };
    auto two_by_two = [](int x, int y) { return 100 + y / 2 * 4 + x / 2; };
    auto last_row = [](int x, int) { return 112 + std::clamp(x - 2, 0, 3); };
    auto far_rows = [](int x, int y) { return ((200 + y) * 255 + 10 + x) & 0xFF; };
    const Case cases[] = {
        {"one texel each", &small.texture, 4, {{0, 0}, {4, 0}, {0, 4}}, 10, one_each},
        {"two by two each", &small.texture, 8, {{0, 0}, {4, 0}, {0, 4}}, 36, two_by_two},
        // v = 4 is the row an OBJ v of 0 gives: it reads the last row. u runs -2..6.
        {"clamped", &small.texture, 8, {{-2, 4}, {6, 4}, {-2, 12}}, 36, last_row},
        {"rows past 16 bits", &large.texture, 4, {{10, 200}, {14, 200}, {10, 204}}, 10, far_rows},
    };
    for (const Case& c : cases) {
        SetUp();
        TestTriangle tri({{0, 0}, {c.n, 0}, {0, c.n}}, 10.0);
        tri.map(c.texture, c.uv);
        draw_textured_triangle(&tri.t);
        EXPECT_EQ(tri.t.pixel_count, c.count) << c.name;
        for (int y = 0; y <= c.n; ++y) {
            for (int x = 0; x <= c.n; ++x) {
                EXPECT_EQ(pixel_at(x, y), x + y < c.n ? c.texel(x, y) : 0)
                    << c.name << " " << x << "," << y;
            }
        }
        draw_textured_triangle(&tri.t);
        EXPECT_EQ(tri.t.pixel_count, 0) << c.name << ": equal depth does not pass";
    }
}

// Corners anywhere, depths anywhere: nothing is written outside columns 0..398 and rows
// 0..238, and the sanitizer build checks that no access leaves the buffers or overflows.
TEST_F(RasterTest, FarOffCornersStayInsideTheBuffers) {
    OwnedTexture tex(8, 8, 1);
    std::mt19937 random(7);
    const int32_t ranges[] = {300, 40000, 5000000, INT32_MAX};
    std::uniform_int_distribution<int32_t> any(INT32_MIN, INT32_MAX);
    for (int n = 0; n < 1500; ++n) {
        std::uniform_int_distribution<int32_t> coord(-ranges[n % 4], ranges[n % 4]);
        int corners[3][2];
        for (auto& c : corners) c[0] = coord(random), c[1] = coord(random);
        TestTriangle tri(corners, 0.0);
        for (Vertex& v : tri.v) v.view_z = n % 3 == 0 ? any(random) : coord(random);
        tri.map(&tex.texture, {{any(random), coord(random)}, {-9, 70000}, {coord(random), 3}});
        n % 2 ? draw_textured_triangle(&tri.t) : draw_flat_triangle(&tri.t);
        if (n % 50 == 0) clear_depth();
    }
    for (int y = 0; y < FRAME_HEIGHT; ++y) ASSERT_EQ(pixel_at(399, y), 0) << y;
    for (int x = 0; x < FRAME_WIDTH; ++x) ASSERT_EQ(pixel_at(x, 239), 0) << x;
}

}  // namespace
