// The rasteriser, the 2D primitives and the scene graph. Random drawing and random scenes are
// summed up in hashes, recorded at 4ca45e4 once the hand-written cases they replace (a line-walk
// model, texel layouts, depth rules, transform modes, wireframes) had passed on that code: a
// changed value means that what is drawn changed. Beside them stands what a hash cannot explain:
// where triangles may reach, and that equal depths keep their order in the sort.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "core/clock.h"
#include "core/framebuffer.h"
#include "render/lines.h"
#include "render/raster.h"
#include "render/scene.h"
#include "util/recorded.h"

namespace {

struct Render : testing::Test {
    void SetUp() override {
        frame_attach_storage();
        frame_count = 100;
        clear_frame(0);
        clear_depth();
        matrix_reset();
    }
    Hash hash;
    void hash_frame() {
        hash.bytes(framebuffer.pixels, FRAME_WIDTH * FRAME_HEIGHT);
        hash.bytes(depth_buffer.data(), sizeof(depth_buffer));
    }
};

// Flat and textured triangles (odd textures and texcoords, corners up to 2^31 apart, any
// depth, redrawn or missing a corner), far-ended lines, lists, image blits and projections.
// Triangles never reach column 399 or row 239; the sanitizer build checks buffer bounds.
TEST_F(Render, RandomDrawingMatchesTheRecordedHash) {
    Random random{1};
    std::vector<uint8_t> texels(255 * 256);
    for (size_t i = 0; i < texels.size(); ++i) texels[i] = static_cast<uint8_t>(i * 7 + i / 255);
    Texture textures[] = {{texels.data(), 4, 4}, {texels.data(), 16, 16}, {texels.data(), 255, 256},
                          {texels.data(), 3, 1}, {nullptr, 4, 4},         {texels.data(), 0, 4}};
    for (int n = 0; n < 4000; ++n) {
        const int64_t reach = std::array<int64_t, 5>{20, 300, 300, 40000, INT32_MAX}[n % 5];
        const int64_t z = random.in(-2 << 16, 300 << 16);
        Vertex v[3] = {};
        TexCoord tc[3];
        Triangle t = {{&v[0], &v[1], &v[2]}, {&tc[0], &tc[1], &tc[2]},          nullptr,
                      PIXEL_COUNT_UNDRAWN,   static_cast<uint8_t>(1 + n % 255), 0};
        const int k = static_cast<int>(random.in(0, 7));
        if (k < 6) t.texture = &textures[k];
        const int64_t u = k < 6 ? textures[k].width : 1, w = k < 6 ? textures[k].height : 1;
        for (int c = 0; c < 3; ++c) {
            v[c].screen_x =
                static_cast<int32_t>(random.in(-reach, reach) + (reach < 999 ? 200 : 0));
            v[c].screen_y =
                static_cast<int32_t>(random.in(-reach, reach) + (reach < 999 ? 120 : 0));
            v[c].view_z = static_cast<int32_t>(n % 7 == 0   ? random.in(INT32_MIN, INT32_MAX)
                                               : n % 3 == 0 ? z
                                                            : z + random.in(-40 << 16, 40 << 16));
            const int64_t far = n % 9 == 0 ? 70000 : 2;
            tc[c] = {int32_t(random.in(-far, u + far)), int32_t(random.in(-far, w + far))};
        }
        if (n % 23 == 0) t.texcoords[n % 3] = nullptr;
        if (n % 97 == 0) t.vertices[1] = nullptr;
        for (int times = n % 11 == 0 ? 2 : 1; times > 0; --times) {
            random.in(0, 3) ? draw_textured_triangle(&t) : draw_flat_triangle(&t);
            hash.number(t.pixel_count);
        }
        Vertex p = {};
        p.view_x = static_cast<int32_t>(random.in(INT32_MIN, INT32_MAX));
        p.view_y = static_cast<int32_t>(random.in(-reach, reach) << 14);
        p.view_z = static_cast<int32_t>(n % 7 == 0 ? random.in(INT32_MIN, INT32_MAX) : z);
        project_vertex(&p);
        project_triangle(&t);
        hash.number(t.nearest_depth).number(p.screen_x).number(p.screen_y).number(p.stamp);
        if (n % 100 == 99) {
            for (int y = 0; y < FRAME_HEIGHT; ++y) ASSERT_EQ(framebuffer.pixels[y * 400 + 399], 0);
            for (int x = 0; x < FRAME_WIDTH; ++x) ASSERT_EQ(framebuffer.pixels[239 * 400 + x], 0);
            hash_frame();
            clear_frame(0);
            if (n % 200 == 199) clear_depth();
        }
    }
    for (int n = 0; n < 1600; ++n) {
        const int64_t reach = std::array<int64_t, 4>{250, 250, 5000, INT32_MAX}[n % 4];
        int32_t e[4];
        for (int32_t& x : e)
            x = static_cast<int32_t>(random.in(-reach, reach) + (reach < 999) * 150);
        if (n % 4 < 2 && n % 3 == 0) e[2] = e[0] + random.in(-6, 6), e[3] = e[1] + random.in(-6, 6);
        draw_line(e[0], e[1], e[2], e[3], static_cast<uint8_t>(n));
        if (n % 100 == 99) hash_frame(), clear_frame(0);
    }
    for (int n = 0; n < 60; ++n) {
        set_draw_colour(static_cast<uint8_t>(n + 1));
        const uint64_t count = random.in(0, 6);
        LineList* lines = create_line_list(count, 200 + n);
        RectList* rects = create_rect_list(count);
        for (int i = 0; i < 8; ++i) {
            int32_t e[4], got[8] = {};
            for (int32_t& x : e) x = static_cast<int32_t>(random.in(-100, 500));
            set_line(lines, i, e[0], e[1], e[2], e[3]);
            set_rect(rects, i, e[3], e[2], e[1], e[0]);
            get_line(lines, i, &got[0], &got[1], &got[2], &got[3]);
            get_rect(rects, i, &got[4], &got[5], &got[6], n % 2 ? &got[7] : nullptr);
            hash.bytes(got, sizeof(got));
        }
        draw_line_list(lines, random.in(0, 8));
        fill_rect_list(rects, random.in(0, 8));
        free_line_list(lines);
        free_rect_list(rects);
        Image* image = create_image(uint32_t(random.in(0, 30)), uint32_t(random.in(0, 30)));
        for (uint32_t i = 0; i < image->width * image->height; ++i)
            image->pixels[i] = uint8_t(i + n);
        set_image_position(image, uint32_t(random.in(340, 420)), uint32_t(random.in(180, 260)));
        blit_image(image);
        free_image(image);
        hash_frame();
        clear_frame(0);
    }
    EXPECT_EQ(hash.hex(), "7071f82b4ba55ad8");
    clear_depth();
    Vertex v[3] = {};
    v[0].screen_x = v[0].screen_y = v[1].screen_y = v[2].screen_x = -1000;
    v[1].screen_x = v[2].screen_y = 3000;
    Triangle whole = {{&v[0], &v[1], &v[2]}, {}, nullptr, 0, 5, 0};
    draw_flat_triangle(&whole);
    EXPECT_EQ(whole.pixel_count, 399 * 239);
}

// Random trees of groups and meshes (every transform mode and matrix constructor) over shared,
// moving vertices with missing triangles and corners, filled or wireframe, frames from 0 on:
// frames, triangle order, depths, pixel counts and vertex positions go into one hash.
TEST_F(Render, RandomScenesMatchTheRecordedHash) {
    Random random{2};
    uint8_t texels[64];
    for (int i = 0; i < 64; ++i) texels[i] = static_cast<uint8_t>(40 + i);
    Texture texture = {texels, 8, 8};
    TexCoord tc[3] = {{0, 0}, {7, 1}, {2, 7}};
    auto coordinate = [&random](int whole) { return Fixed(random.in(-whole << 16, whole << 16)); };
    for (int scene = 0; scene < 30; ++scene) {
        std::vector<Vertex> vertices(30);
        std::vector<Triangle> triangles(40);
        std::vector<Triangle*> lists[3];
        for (Vertex& v : vertices) v.model_x = coordinate(40), v.model_y = coordinate(40);
        for (Triangle& t : triangles) {
            t = {{},
                 {&tc[0], &tc[1], &tc[2]},
                 random.in(0, 2) ? &texture : nullptr,
                 random.in(0, 3) ? PIXEL_COUNT_UNDRAWN : -1,
                 uint8_t(random.in(1, 255)),
                 0};
            for (Vertex*& v : t.vertices) v = &vertices[random.in(0, 29)];
            if (random.in(0, 30) == 0) t.vertices[random.in(0, 2)] = nullptr;
            lists[random.in(0, 2)].push_back(random.in(0, 25) ? &t : nullptr);
        }
        Mesh meshes[3];
        for (int i = 0; i < 3; ++i) meshes[i] = {lists[i].data(), int32_t(lists[i].size())};
        std::vector<SceneNode*> nodes{create_root_node()};
        for (int i = 0; i < 10; ++i) {
            SceneNode* parent = nodes[random.in(0, int64_t(nodes.size()) - 1)];
            SceneNode* node = random.in(0, 1) ? create_group_node(parent)
                                              : create_mesh_node(parent, &meshes[random.in(0, 2)]);
            hash.number(node == nullptr);
            if (node == nullptr) continue;
            nodes.push_back(node);
            node->transform_mode = uint32_t(random.in(0, 3));
            const Fixed angle = coordinate(400);
            switch (random.in(0, 4)) {
                case 0:
                    matrix_rotation_x(&node->local, angle);
                    break;
                case 1:
                    matrix_rotation_y(&node->local, angle);
                    break;
                case 2:
                    matrix_rotation_z(&node->local, angle);
                    break;
                case 3:
                    matrix_scaling(&node->local, coordinate(2), coordinate(2), coordinate(2));
                    break;
                default:
                    matrix_euler_rotation(&node->local, angle, coordinate(400), coordinate(400));
            }
            matrix_add_translation(&node->local, coordinate(60), coordinate(40),
                                   coordinate(99) + (150 << 16));
        }
        frame_count = 0;  // a fresh vertex (stamp 0) keeps its old values through frame 0
        for (int frame = 0; frame < 12; ++frame) {
            for (int k = 0; k < 3; ++k) vertices[random.in(0, 29)].model_z = coordinate(40);
            clear_frame(0);
            clear_depth();
            render_transform(nodes[0]);
            render_draw(nodes[0], frame % 4 == 2 ? DRAW_WIREFRAME : DRAW_FILLED);
            hash_frame();
            for (const auto& list : lists)
                for (const Triangle* t : list)
                    hash.number(t == nullptr ? -1 : t - triangles.data())
                        .number(t == nullptr ? 0 : int64_t{t->nearest_depth} + t->pixel_count);
            for (const Vertex& v : vertices)
                hash.number(v.view_x)
                    .number(v.view_y)
                    .number(v.view_z)
                    .number(v.screen_x)
                    .number(v.screen_y)
                    .number(v.stamp);
            frame_count += frame % 4 != 1;
        }
        EXPECT_EQ(matrix_depth, 0);
        free_scene(nodes[0]);
        render_transform(nullptr);
        render_draw(nullptr, DRAW_FILLED);
    }
    EXPECT_EQ(hash.hex(), "a43da89287aff413");
}

// Triangles over the same 55 pixels at depth 50, told apart by colour, with the given nearest
// depths: the strict depth test lets the first one drawn take them all. Each frame one bubble
// pass moves them towards near-to-far order while drawing them; equal depths keep their order.
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
        Vertex v[3] = {};
        const int corners[3][2] = {{10, 10}, {20, 10}, {10, 20}};
        Triangle t[3];
        std::vector<Triangle*> order;
        for (int i = 0; i < 3; ++i) {
            v[i].screen_x = corners[i][0], v[i].screen_y = corners[i][1];
            v[i].view_z = 50 << 16;
            t[i] = {{&v[0], &v[1], &v[2]}, {}, nullptr, 0, uint8_t(1 + i), c.depths[i] << 16};
            order.push_back(&t[i]);
        }
        Mesh mesh = {order.data(), 3};
        SceneNode* root = create_root_node();
        create_mesh_node(root, &mesh);
        for (const auto* expected : {&c.frame1, &c.frame2}) {
            render_draw(root, DRAW_FILLED);
            std::vector<int> colours;
            for (Triangle* triangle : order) colours.push_back(triangle->flat_colour);
            EXPECT_EQ(colours, *expected) << c.depths[0] << c.depths[1] << c.depths[2];
            EXPECT_TRUE(expected != &c.frame1 || framebuffer.pixels[10 * 400 + 10] == c.first);
            clear_depth();
        }
        free_scene(root);
    }
}

}  // namespace
