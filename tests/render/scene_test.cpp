#include "render/scene.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "core/clock.h"
#include "core/framebuffer.h"
#include "render/raster.h"

namespace {

Fixed fixed(double value) {
    return static_cast<Fixed>(value * FIXED_ONE);
}

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
};

class SceneTest : public ::testing::Test {
   protected:
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

// Only the integer parts of model coordinates are transformed: (1.75, -0.25, 3.5) is (1, -1, 3).
TEST_F(SceneTest, TransformModesComposeIntegerParts) {
    Vertex v = model_vertex(1.75, -0.25, 3.5);
    Triangle t = triangle_of(&v, &v, &v);
    Triangle* triangles[1] = {&t};
    Mesh mesh = {triangles, 1};
    SceneNode* root = create_root_node();
    SceneNode* group = create_group_node(root);
    SceneNode* node = create_mesh_node(group, &mesh);
    ASSERT_NE(node, nullptr);
    matrix_set_translation(&group->local, fixed(10), fixed(20), fixed(30));
    matrix_scaling(&node->local, fixed(2), fixed(2), fixed(2));
    node->local.m[0][1] = FIXED_ONE;  // y' = 2 y + x
    const struct {
        uint32_t group_mode, node_mode;
        int32_t x, y, z;
    } cases[] = {
        {0, 0, 1, -1, 3}, {1, 0, 11, 19, 33}, {2, 0, 11, 19, 33},
        {3, 0, 1, -1, 3}, {0, 2, 2, -1, 6},   {2, 1, 12, 19, 36},  // the child's local first
    };
    for (const auto& c : cases) {
        group->transform_mode = c.group_mode;
        node->transform_mode = c.node_mode;
        next_frame();
        render_transform(root);
        const auto modes = std::to_string(c.group_mode) + "/" + std::to_string(c.node_mode);
        EXPECT_EQ(v.view_x, c.x << 16) << modes;
        EXPECT_EQ(v.view_y, c.y * FIXED_ONE) << modes;
        EXPECT_EQ(v.view_z, c.z << 16) << modes;
        EXPECT_EQ(t.nearest_depth, c.z << 16) << modes;
        EXPECT_EQ(v.stamp, frame_count) << modes;
    }
    EXPECT_EQ(matrix_depth, 0);
}

TEST_F(SceneTest, VerticesTransformOncePerFrame) {
    Vertex shared = model_vertex(0, 0, 50), a = model_vertex(40, 0, 20),
           b = model_vertex(0, 10, 90);
    Triangle t1 = triangle_of(&shared, &a, &b), t2 = triangle_of(&b, &shared, &a);
    TestScene scene({&t1, &t2});
    SceneNode* second = create_mesh_node(scene.root, &scene.mesh);
    scene.node->transform_mode = second->transform_mode = 2;
    matrix_set_translation(&second->local, fixed(1000), 0, 0);

    render_transform(scene.root);  // the second node finds every vertex cached by the first
    EXPECT_EQ(a.view_x, fixed(40));
    EXPECT_EQ(a.screen_x, 500);
    EXPECT_EQ(t2.nearest_depth, fixed(20));  // cached corners still count

    a.model_x = fixed(60);
    render_transform(scene.root);
    EXPECT_EQ(a.view_x, fixed(40));  // same frame: no effect
    ++frame_count;
    render_transform(scene.root);
    EXPECT_EQ(a.view_x, fixed(60));
    // A fresh vertex (stamp 0) waits for a frame other than 0.
    b.stamp = 0;
    b.model_z = fixed(7);
    frame_count = 0;
    render_transform(scene.root);
    EXPECT_EQ(b.view_z, fixed(90));
    frame_count = 1;
    render_transform(scene.root);
    EXPECT_EQ(b.view_z, fixed(7));
}

// Triangles over the same 55 pixels at the same depth, told apart by colour: the strict depth
// test lets the first one drawn take them all, so the frame shows the drawing order.
struct Stacked {
    std::array<Vertex, 3> v{};
    std::array<Triangle, 3> t{};
    explicit Stacked(std::array<int, 3> nearest) {
        const int corners[3][2] = {{10, 10}, {20, 10}, {10, 20}};
        for (int i = 0; i < 3; ++i) {
            v[i].screen_x = corners[i][0];
            v[i].screen_y = corners[i][1];
            v[i].view_z = fixed(50);
            v[i].stamp = frame_count;  // already transformed this frame
        }
        for (int i = 0; i < 3; ++i) {
            t[i] = triangle_of(&v[0], &v[1], &v[2]);
            t[i].nearest_depth = fixed(nearest[i]);
            t[i].flat_colour = static_cast<uint8_t>(1 + i);
        }
    }
};

// Each frame one bubble pass moves triangles towards near-to-far order while drawing them;
// equal depths keep their order.
TEST_F(SceneTest, OneBubblePassPerFrameKeepsEqualDepthsInOrder) {
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
}

// Meshes of one triangle, of none, with missing triangles and a triangle missing a corner,
// outlined (in white, clipped, with no depth test) and then filled.
TEST_F(SceneTest, WireframeAndTinyAndBrokenMeshes) {
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
    EXPECT_EQ(s.t[0].pixel_count, 55);
    EXPECT_EQ(broken.pixel_count, PIXEL_COUNT_UNDRAWN);
    EXPECT_EQ(broken.nearest_depth, fixed(50));  // from the corners it has
    // Missing triangles sort as the farthest.
    EXPECT_EQ(holes, (std::vector<Triangle*>{&broken, &s.t[1], nullptr, nullptr}));
}

// A textured triangle is drawn flat while its pixel count is negative.
TEST_F(SceneTest, NegativePixelCountForcesFlat) {
    Stacked s({5, 5, 5});
    uint8_t texels[4] = {70, 71, 72, 73};
    Texture texture = {texels, 2, 2};
    TexCoord tc = {0, 0};
    Triangle& t = s.t[0];
    t.texture = &texture;
    t.texcoords[0] = t.texcoords[1] = t.texcoords[2] = &tc;
    TestScene scene({&t});
    for (int32_t count : {-1, 0, PIXEL_COUNT_UNDRAWN}) {
        t.pixel_count = count;
        render_draw(scene.root, 1);
        EXPECT_EQ(framebuffer.pixels[12 * 400 + 12], count < 0 ? t.flat_colour : 70) << count;
        EXPECT_EQ(t.pixel_count, 55);
        next_frame();
    }
}

TEST_F(SceneTest, ChildrenKeepCreationOrderAndMeshesTakeNone) {
    Mesh mesh = {nullptr, 0};
    SceneNode* root = create_root_node();
    SceneNode* a = create_group_node(root);
    SceneNode* b = create_mesh_node(root, &mesh);
    ASSERT_EQ(root->children->count, 2u);
    EXPECT_EQ(root->children->items[0], a);
    EXPECT_EQ(root->children->items[1], b);
    EXPECT_EQ(create_group_node(b), nullptr);
    EXPECT_EQ(create_mesh_node(nullptr, &mesh), nullptr);
}

}  // namespace
