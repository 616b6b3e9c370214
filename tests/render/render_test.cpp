// The rasteriser, the 2D primitives and the scene graph, on the edges, clipping and odd input
// the show's frames never reach.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "core/clock.h"
#include "core/framebuffer.h"
#include "render/lines.h"
#include "render/raster.h"
#include "render/scene.h"

namespace {

using Pixels = std::set<std::pair<int, int>>;  // (y, x): in row order
constexpr uint8_t INK = 7;

Fixed fixed(double value) {
    return static_cast<Fixed>(value * FIXED_ONE);
}
uint8_t& pixel_at(int x, int y) {
    return framebuffer.pixels[y * FRAME_WIDTH + x];
}

// The set pixels, in row order, then cleared.
Pixels take_pixels() {
    Pixels out;
    for (int i = 0; i < FRAME_WIDTH * FRAME_HEIGHT; ++i)
        if (framebuffer.pixels[i] != 0) out.insert({i / FRAME_WIDTH, i % FRAME_WIDTH});
    clear_frame(0);
    return out;
}

struct Render : testing::Test {
    void SetUp() override {
        frame_attach_storage();
        frame_count = 100;
        next_frame();
        matrix_reset();
    }
    // A new frame: the next frame_count and a cleared frame and depth buffer.
    static void next_frame() {
        ++frame_count;
        clear_frame(0);
        clear_depth();
    }
};

// A triangle over three already-projected corners at one depth, as the fillers read them.
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

Vertex model_vertex(double x, double y, double z) {
    Vertex v = {};
    v.model_x = fixed(x), v.model_y = fixed(y), v.model_z = fixed(z);
    return v;
}

Triangle triangle_of(Vertex* a, Vertex* b, Vertex* c) {
    return {{a, b, c}, {}, nullptr, PIXEL_COUNT_UNDRAWN, 15, 0};
}

// A root with one mesh node over the triangles, which the mesh borrows.
struct TestScene {
    std::vector<Triangle*> order;
    Mesh mesh;
    SceneNode* root = create_root_node();
    SceneNode* node;
    explicit TestScene(std::vector<Triangle*> triangles) : order(std::move(triangles)) {
        mesh = {order.data(), static_cast<int32_t>(order.size())};
        node = create_mesh_node(root, &mesh);
    }
    ~TestScene() { free_scene(root); }
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
        if (x >= 0 && x < FRAME_WIDTH && y >= 0 && y < FRAME_HEIGHT) out.insert({y, x});
        if ((error -= std::min(dx, dy)) < 0) error += major, across += step_across;
    }
    return out;
}

// Lines in every direction, inside the frame and across its edges, against the model; ends
// far outside are clipped without walking them.
TEST_F(Render, LinesMatchTheWalkAndClipFarEnds) {
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
    for (auto [y, x] : pixels) EXPECT_TRUE(y == 100 || x == 7 || x == y) << x << "," << y;
}

// Lists draw in draw_colour: up to n lines; rectangles without their maximum edges, clipped.
// An image blit copies every pixel, 0 included, and clips at the right edge.
TEST_F(Render, LineAndRectangleListsAndImages) {
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
    const int corners[5][4] = {{10, 10, 20, 15},
                               {40, 15, 30, 10},
                               {50, 10, 50, 90},
                               {-5, -5, 3, 2},
                               {390, 230, 9000, 900}};  // 10 x 5 twice, none, 3 x 2, 10 x 10
    for (int i = 0; i < 5; ++i)
        set_rect(rects, i, corners[i][0], corners[i][1], corners[i][2], corners[i][3]);
    fill_rect_list(rects, 5);
    EXPECT_EQ(framebuffer.pixels[14 * FRAME_WIDTH + 39], 5);
    EXPECT_EQ(take_pixels().size(), 50u + 50u + 6u + 100u);
    free_rect_list(rects);

    uint8_t texels[6] = {1, 0, 2, 3, 4, 5};
    clear_frame(9);
    Image* image = create_image_over(3, 2, texels);
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

const int kSmall[3][2] = {{10, 10}, {20, 10}, {10, 20}};

// In turn over one place: a pixel is written only when nearer than the one there, with its
// depth's integer part; the textured filler also skips depths at or below zero (the flat one
// then draws them) and draws flat without a usable texture.
TEST_F(Render, DepthTestAndFlatFallback) {
    OwnedTexture tex(4, 4, 100);
    Texture no_pixels = {nullptr, 4, 4}, no_width = {tex.pixels.data(), 0, 4};
    const struct {
        const Texture* texture;  // null: flat
        double depth;
        bool fresh, all_texcoords;  // fresh: buffers cleared first
        int32_t count;
    } cases[] = {{nullptr, 40.0, 0, 1, 55},     {nullptr, 40.0, 0, 1, 0},
                 {nullptr, 39.5, 0, 1, 55},     {&tex.texture, 39.0, 0, 1, 0},
                 {&tex.texture, 0.5, 1, 1, 0},  {&tex.texture, 0.0, 1, 1, 0},
                 {&tex.texture, -2.0, 1, 1, 0}, {&no_pixels, 10.0, 1, 1, 55},
                 {&no_width, 10.0, 1, 1, 55},   {&tex.texture, 10.0, 1, 0, 55}};
    for (const auto& c : cases) {
        if (c.fresh) SetUp();
        TestTriangle tri(kSmall, c.depth);
        if (c.texture != nullptr) tri.map(c.texture, {{0, 0}, {3, 0}, {0, 3}});
        if (!c.all_texcoords) tri.t.texcoords[2] = nullptr;
        draw_textured_triangle(&tri.t);
        EXPECT_EQ(tri.t.pixel_count, c.count) << c.depth;
        EXPECT_EQ(pixel_at(10, 19), c.fresh && c.count == 0 ? 0 : INK) << c.depth;
        if (c.fresh && c.count == 0) draw_flat_triangle(&tri.t);
        EXPECT_EQ(depth_buffer[10 * RASTER_WIDTH + 10], uint16_t(int(c.depth))) << c.depth;
    }
}

// Edges and spans clipped at the top and left start from the values they would have had when
// walked from their true start: the visible part matches the same triangle moved inside.
TEST_F(Render, ClippingAboveAndLeftMatchesUnclippedWalk) {
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
                    ASSERT_EQ(depth_buffer[y * 400 + x], depths[k]) << x << "," << y;
                    visible += pixel_at(x, y) != 0;
                }
            }
            EXPECT_EQ(clipped.t.pixel_count, visible);
            EXPECT_GT(visible, 100);
        }
    }
}

// Depths below 1.0 project as 1.0; a triangle's nearest depth is its smallest signed one.
TEST(Projection, DepthsBelowOneProjectAsOne) {
    frame_count = 1234;
    const double cases[][5] = {{2.0, 0.0, 0.5, 500, 120},   {2.0, 0.0, 0.0, 500, 120},
                               {2.0, -1.0, -3.0, 500, -30}, {-0.5, 0.0, 100.0, 200, 120},
                               {1.0, 1.0, 2.0, 275, 195},   {-3.0, 7.5, 30.0, 185, 157}};
    Vertex v[6] = {};
    for (int i = 0; i < 6; ++i) {
        v[i].view_x = fixed(cases[i][0]), v[i].view_y = fixed(cases[i][1]);
        v[i].view_z = fixed(cases[i][2]);
        project_vertex(&v[i]);
        EXPECT_EQ(std::tuple(v[i].screen_x, v[i].screen_y, v[i].stamp),
                  std::tuple(int(cases[i][3]), int(cases[i][4]), 1234u))
            << i;
    }
    Triangle t = {{&v[3], &v[2], &v[0]}, {}, nullptr, 0, 15, 0};
    frame_count = 77;
    project_triangle(&t);
    EXPECT_EQ(std::pair(t.nearest_depth, v[3].stamp), std::pair(fixed(-3.0), 77u));
}

// Right triangles with corners (0, 0), (n, 0), (0, n): pixel (x, y) with x + y < n shows
// `texel`; a redraw at equal depth writes nothing.
TEST_F(Render, AffineTexelLayoutAndClamping) {
    OwnedTexture small(4, 4, 100), large(255, 256, 0);  // large: rows 129 on start past 32767
    const struct {
        const Texture* texture;
        int n;
        int uv[3][2];
        int32_t count;
        std::function<int(int, int)> texel;
    } cases[] = {
        {&small.texture,
         4,
         {{0, 0}, {4, 0}, {0, 4}},
         10,
         [](int x, int y) { return 100 + y * 4 + x; }},
        {&small.texture,
         8,
         {{0, 0}, {4, 0}, {0, 4}},
         36,
         [](int x, int y) { return 100 + y / 2 * 4 + x / 2; }},
        // v = 4 is the row an OBJ v of 0 gives: it reads the last row. u runs -2..6.
        {&small.texture,
         8,
         {{-2, 4}, {6, 4}, {-2, 12}},
         36,
         [](int x, int) { return 112 + std::clamp(x - 2, 0, 3); }},
        {&large.texture,
         4,
         {{10, 200}, {14, 200}, {10, 204}},
         10,
         [](int x, int y) { return ((200 + y) * 255 + 10 + x) & 0xFF; }},
    };
    for (const auto& c : cases) {
        SetUp();
        TestTriangle tri({{0, 0}, {c.n, 0}, {0, c.n}}, 10.0);
        tri.map(c.texture, c.uv);
        draw_textured_triangle(&tri.t);
        EXPECT_EQ(tri.t.pixel_count, c.count) << c.n;
        for (int i = 0; i < (c.n + 1) * (c.n + 1); ++i) {
            const int x = i % (c.n + 1), y = i / (c.n + 1);
            EXPECT_EQ(pixel_at(x, y), x + y < c.n ? c.texel(x, y) : 0) << x << "," << y;
        }
        draw_textured_triangle(&tri.t);
        EXPECT_EQ(tri.t.pixel_count, 0) << c.n;
    }
}

// Corners anywhere, depths anywhere: nothing is written outside columns 0..398 and rows
// 0..238 (which a triangle over the whole frame fills), and the sanitizer build checks that
// no access leaves the buffers or overflows; a triangle missing a corner is left alone.
TEST_F(Render, FarOffCornersStayInsideTheBuffers) {
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
    SetUp();
    TestTriangle whole({{-1000, -1000}, {3000, -1000}, {-1000, 3000}}, 10.0), broken = whole;
    draw_flat_triangle(&whole.t);
    EXPECT_EQ(whole.t.pixel_count, 399 * 239);
    broken.t.vertices[1] = nullptr;
    draw_textured_triangle(&broken.t);
    project_triangle(&broken.t);
    EXPECT_EQ(broken.t.pixel_count, PIXEL_COUNT_UNDRAWN);
}

// Only the integer parts of model coordinates are transformed: (1.75, -0.25, 3.5) is (1, -1, 3),
// under a group translated by (10, 20, 30) and a mesh node scaled by 2 with y' = 2 y + x.
// Modes 1 and 2 compose the node's matrix, the child's first; others inherit.
TEST_F(Render, TransformModesComposeIntegerParts) {
    Vertex v = model_vertex(1.75, -0.25, 3.5);
    Triangle t = triangle_of(&v, &v, &v);
    TestScene scene({&t});
    SceneNode* group = create_group_node(scene.root);
    SceneNode* node = create_mesh_node(group, &scene.mesh);
    matrix_set_translation(&group->local, fixed(10), fixed(20), fixed(30));
    matrix_scaling(&node->local, fixed(2), fixed(2), fixed(2));
    node->local.m[0][1] = FIXED_ONE;
    const uint32_t cases[][5] = {{1, 0, 11, 19, 33},
                                 {2, 0, 11, 19, 33},
                                 {3, 0, 1, -1u, 3},
                                 {0, 2, 2, -1u, 6},
                                 {2, 1, 12, 19, 36}};
    for (const auto& [group_mode, node_mode, x, y, z] : cases) {
        group->transform_mode = group_mode, node->transform_mode = node_mode;
        next_frame();
        render_transform(group);
        EXPECT_EQ(
            std::tuple(v.view_x, v.view_y, v.view_z, t.nearest_depth, v.stamp),
            std::tuple(Fixed(x << 16), Fixed(y << 16), Fixed(z << 16), Fixed(z << 16), frame_count))
            << group_mode << "/" << node_mode;
    }
    EXPECT_EQ(matrix_depth, 0);
    EXPECT_EQ(create_group_node(node), nullptr) << "meshes take no children";
    EXPECT_EQ(create_mesh_node(nullptr, &scene.mesh), nullptr);
    EXPECT_EQ(scene.root->children->items[1], group) << "children keep creation order";
}

// A vertex is transformed once per frame, for the first node that reaches it; cached corners
// still count for a triangle's nearest depth. A fresh vertex (stamp 0) waits for a frame
// other than 0.
TEST_F(Render, VerticesTransformOncePerFrame) {
    Vertex shared = model_vertex(0, 0, 50), a = model_vertex(40, 0, 20),
           b = model_vertex(0, 10, 90);
    Triangle t1 = triangle_of(&shared, &a, &b), t2 = triangle_of(&b, &shared, &a);
    TestScene scene({&t1, &t2});
    SceneNode* second = create_mesh_node(scene.root, &scene.mesh);
    scene.node->transform_mode = second->transform_mode = 2;
    matrix_set_translation(&second->local, fixed(1000), 0, 0);
    render_transform(scene.root);
    EXPECT_EQ(std::tuple(a.view_x, a.screen_x, t2.nearest_depth),
              std::tuple(fixed(40), 500, fixed(20)));
    a.model_x = fixed(60);
    render_transform(scene.root);
    EXPECT_EQ(a.view_x, fixed(40));
    ++frame_count;
    render_transform(scene.root);
    EXPECT_EQ(a.view_x, fixed(60));
    b.stamp = 0;
    b.model_z = fixed(7);
    for (uint32_t frame : {0u, 1u}) {
        frame_count = frame;
        render_transform(scene.root);
        EXPECT_EQ(b.view_z, fixed(frame == 0 ? 90 : 7));
    }
}

// Triangles over the same 55 pixels at the same depth, told apart by colour: the strict depth
// test lets the first one drawn take them all, so the frame shows the drawing order.
struct Stacked {
    std::array<Vertex, 3> v{};
    std::array<Triangle, 3> t{};
    explicit Stacked(std::array<int, 3> nearest) {
        const int corners[3][2] = {{10, 10}, {20, 10}, {10, 20}};
        for (int i = 0; i < 3; ++i) {
            v[i].screen_x = corners[i][0], v[i].screen_y = corners[i][1];
            v[i].view_z = fixed(50);
            v[i].stamp = frame_count;  // already transformed this frame
            t[i] = triangle_of(&v[0], &v[1], &v[2]);
            t[i].nearest_depth = fixed(nearest[i]);
            t[i].flat_colour = static_cast<uint8_t>(1 + i);
        }
    }
};

// Each frame one bubble pass moves triangles towards near-to-far order while drawing them;
// equal depths keep their order. A textured triangle is drawn flat while its pixel count is
// negative.
TEST_F(Render, OneBubblePassPerFrameKeepsEqualDepthsInOrder) {
    const struct {
        std::array<int, 3> depths;
        std::vector<int> frame1, frame2;  // colours in array order after each frame
        int first;                        // the colour drawn first in frame 1
    } cases[] = {
        {{30, 20, 10}, {2, 3, 1}, {3, 2, 1}, 2},
        {{10, 30, 20}, {1, 3, 2}, {1, 3, 2}, 1},
        {{20, 20, 10}, {1, 3, 2}, {3, 1, 2}, 1},
        {{10, 10, 10}, {1, 2, 3}, {1, 2, 3}, 1},
    };
    for (const auto& c : cases) {
        Stacked s(c.depths);
        TestScene scene({&s.t[0], &s.t[1], &s.t[2]});
        for (const auto* expected : {&c.frame1, &c.frame2}) {
            render_draw(scene.root, 1);
            std::vector<int> colours;
            for (Triangle* t : scene.order) colours.push_back(t->flat_colour);
            EXPECT_EQ(colours, *expected) << c.depths[0] << c.depths[1] << c.depths[2];
            EXPECT_TRUE(expected != &c.frame1 || framebuffer.pixels[10 * 400 + 10] == c.first);
            next_frame();
        }
    }
    Stacked s({5, 5, 5});
    uint8_t texels[4] = {70, 71, 72, 73};
    Texture texture = {texels, 2, 2};
    TexCoord tc = {0, 0};
    s.t[0].texture = &texture;
    s.t[0].texcoords[0] = s.t[0].texcoords[1] = s.t[0].texcoords[2] = &tc;
    TestScene scene({&s.t[0]});
    for (int32_t count : {-1, 0, PIXEL_COUNT_UNDRAWN}) {
        s.t[0].pixel_count = count;
        render_draw(scene.root, 1);
        EXPECT_EQ(framebuffer.pixels[12 * 400 + 12], count < 0 ? s.t[0].flat_colour : 70) << count;
        EXPECT_EQ(s.t[0].pixel_count, 55);
        next_frame();
    }
}

// Meshes of one triangle, of none, with missing triangles and a triangle missing a corner,
// outlined (in white, clipped, with no depth test) and then filled; missing triangles sort as
// the farthest.
TEST_F(Render, WireframeAndTinyAndBrokenMeshes) {
    Stacked s({5, 5, 5});
    s.v[1].screen_x = 900000;  // far off to the right: clipped, not walked
    Triangle broken = triangle_of(&s.v[0], nullptr, &s.v[2]);
    std::vector<Triangle*> one{&s.t[0]}, holes{nullptr, &broken, &s.t[1], nullptr};
    Mesh meshes[3] = {{one.data(), 1}, {nullptr, 0}, {holes.data(), 4}};
    SceneNode* root = create_root_node();
    for (Mesh& m : meshes) create_mesh_node(root, &m);
    render_transform(root);
    render_transform(nullptr);
    render_draw(root, 0);
    for (int x : {10, 399}) EXPECT_EQ(framebuffer.pixels[10 * 400 + x], 15) << x;
    EXPECT_EQ(framebuffer.pixels[15 * 400 + 10], 15);
    EXPECT_EQ(depth_buffer[10 * 400 + 10], DEPTH_EMPTY);
    EXPECT_EQ(s.t[0].pixel_count, PIXEL_COUNT_UNDRAWN);
    s.v[1].screen_x = 20;
    render_draw(root, 1);
    render_draw(nullptr, 1);
    EXPECT_EQ(std::pair(s.t[0].pixel_count, broken.pixel_count),
              std::pair(55, PIXEL_COUNT_UNDRAWN));
    EXPECT_EQ(broken.nearest_depth, fixed(50));  // from the corners it has
    EXPECT_EQ(holes, (std::vector<Triangle*>{&broken, &s.t[1], nullptr, nullptr}));
    free_scene(root);
}

}  // namespace
