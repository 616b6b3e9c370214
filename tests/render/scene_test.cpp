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

// Triangles and the pointer array a Mesh borrows.
struct TestMesh {
    std::vector<Triangle*> order;
    Mesh mesh;
    explicit TestMesh(std::vector<Triangle*> triangles) : order(std::move(triangles)) {
        mesh = {order.data(), static_cast<int32_t>(order.size())};
    }
};

class SceneTest : public ::testing::Test {
   protected:
    void SetUp() override {
        frame_attach_storage();
        clear_frame(0);
        clear_depth();
        matrix_reset();
        frame_count = 100;
    }
    // A new frame: the next frame_count and a cleared frame and depth buffer.
    static void next_frame() {
        ++frame_count;
        clear_frame(0);
        clear_depth();
    }
    // A root with one mesh node over `mesh`.
    static SceneNode* scene_of(TestMesh& mesh) {
        SceneNode* root = create_root_node();
        create_mesh_node(root, &mesh.mesh);
        return root;
    }
};

// Only the integer parts of model coordinates are transformed: (1.75, -0.25, 3.5) is (1, -1, 3).
TEST_F(SceneTest, TransformModesComposeIntegerParts) {
    Vertex v = model_vertex(1.75, -0.25, 3.5);
    Triangle t = triangle_of(&v, &v, &v);
    TestMesh mesh({&t});
    SceneNode* root = create_root_node();
    SceneNode* group = create_group_node(root);
    SceneNode* node = create_mesh_node(group, &mesh.mesh);
    ASSERT_NE(node, nullptr);
    matrix_set_translation(&group->local, fixed(10), fixed(20), fixed(30));
    matrix_scaling(&node->local, fixed(2), fixed(2), fixed(2));
    const struct {
        uint32_t group_mode, node_mode;
        int32_t x, y, z;
    } cases[] = {
        {0, 0, 1, -1, 3}, {1, 0, 11, 19, 33}, {2, 0, 11, 19, 33},
        {3, 0, 1, -1, 3}, {0, 2, 2, -2, 6},   {2, 1, 12, 18, 36},  // the child's local first
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
    TestMesh mesh({&t1, &t2});
    SceneNode* root = create_root_node();
    SceneNode* first = create_mesh_node(root, &mesh.mesh);
    SceneNode* second = create_mesh_node(root, &mesh.mesh);
    first->transform_mode = second->transform_mode = 2;
    matrix_set_translation(&second->local, fixed(1000), 0, 0);

    render_transform(root);  // the second node finds every vertex cached by the first
    EXPECT_EQ(a.view_x, fixed(40));
    EXPECT_EQ(a.screen_x, 500);
    EXPECT_EQ(t2.nearest_depth, fixed(20));  // cached corners still count

    a.model_x = fixed(60);
    render_transform(root);
    EXPECT_EQ(a.view_x, fixed(40));  // same frame: no effect
    ++frame_count;
    render_transform(root);
    EXPECT_EQ(a.view_x, fixed(60));
    // A fresh vertex (stamp 0) waits for a frame other than 0.
    b.stamp = 0;
    b.model_z = fixed(7);
    frame_count = 0;
    render_transform(root);
    EXPECT_EQ(b.view_z, fixed(90));
    frame_count = 1;
    render_transform(root);
    EXPECT_EQ(b.view_z, fixed(7));
}

// Three triangles over the same pixels at the same depth: the strict depth test lets the
// first one drawn take all 55 pixels, so the winner shows the drawing order.
struct Stacked {
    std::array<Vertex, 3> v{};
    std::array<Triangle, 3> t{};
    explicit Stacked(std::array<double, 3> nearest) {
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
            t[i].flat_colour = static_cast<uint8_t>(nearest[i]);
        }
    }
};

TEST_F(SceneTest, OneBubblePassPerFrame) {
    Stacked s({30, 20, 10});
    TestMesh mesh({&s.t[0], &s.t[1], &s.t[2]});
    SceneNode* root = scene_of(mesh);
    // Order after each frame, and the colour (the depth) of the triangle drawn first.
    const std::pair<std::vector<int>, int> frames[] = {
        {{20, 10, 30}, 20}, {{10, 20, 30}, 10}, {{10, 20, 30}, 10}};
    for (const auto& [order, first] : frames) {
        render_draw(root, 1);
        std::vector<int> depths;
        for (Triangle* t : mesh.order) depths.push_back(t->nearest_depth >> 16);
        EXPECT_EQ(depths, order);
        EXPECT_EQ(framebuffer.pixels[10 * 400 + 10], first);
        next_frame();
    }
    EXPECT_EQ(s.t[2].pixel_count, 55);  // settled: 10 drawn first, the others find no pixel
    EXPECT_EQ(s.t[0].pixel_count + s.t[1].pixel_count, 0);
}

TEST_F(SceneTest, TinyAndBrokenMeshes) {
    Stacked s({5, 5, 5});
    Triangle broken = triangle_of(&s.v[0], nullptr, &s.v[2]);
    TestMesh one({&s.t[0]}), none({}), holes({nullptr, &broken, &s.t[1], nullptr});
    SceneNode* root = create_root_node();
    for (TestMesh* m : {&one, &none, &holes}) create_mesh_node(root, &m->mesh);
    render_transform(root);
    render_transform(nullptr);
    render_draw(root, 1);
    render_draw(root, 0);
    render_draw(nullptr, 1);
    EXPECT_EQ(s.t[0].pixel_count, 55);
    EXPECT_EQ(broken.pixel_count, PIXEL_COUNT_UNDRAWN);
    EXPECT_EQ(broken.nearest_depth, fixed(50));  // from the corners it has
    // Missing triangles sort as the farthest.
    EXPECT_EQ(holes.order, (std::vector<Triangle*>{&broken, &s.t[1], nullptr, nullptr}));
}

TEST_F(SceneTest, NegativePixelCountForcesFlat) {
    Stacked s({5, 5, 5});
    uint8_t texels[4] = {70, 71, 72, 73};
    Texture texture = {texels, 2, 2};
    TexCoord tc = {0, 0};
    Triangle& t = s.t[0];
    t.texture = &texture;
    t.texcoords[0] = t.texcoords[1] = t.texcoords[2] = &tc;
    t.flat_colour = 33;
    t.pixel_count = -1;
    TestMesh mesh({&t});
    SceneNode* root = scene_of(mesh);
    render_draw(root, 1);
    EXPECT_EQ(framebuffer.pixels[12 * 400 + 12], 33);
    EXPECT_EQ(t.pixel_count, 55);
    next_frame();
    render_draw(root, 1);  // the stored count is no longer negative
    EXPECT_EQ(framebuffer.pixels[12 * 400 + 12], 70);
}

TEST_F(SceneTest, WireframeOutlinesInWhiteAndClips) {
    Stacked s({5, 5, 5});
    s.v[1].screen_x = 900000;  // far off to the right: clipped, not walked
    TestMesh mesh({&s.t[0]});
    render_draw(scene_of(mesh), 0);
    EXPECT_EQ(framebuffer.pixels[10 * 400 + 10], 15);
    EXPECT_EQ(framebuffer.pixels[10 * 400 + 399], 15);
    EXPECT_EQ(framebuffer.pixels[15 * 400 + 10], 15);
    EXPECT_EQ(s.t[0].pixel_count, PIXEL_COUNT_UNDRAWN);
    EXPECT_EQ(depth_buffer[10 * 400 + 10], DEPTH_EMPTY);
}

TEST_F(SceneTest, ChildrenKeepCreationOrderAndMeshesTakeNone) {
    Mesh mesh = {nullptr, 0};
    SceneNode* root = create_root_node();
    ASSERT_NE(root, nullptr);
    SceneNode* a = create_group_node(root);
    SceneNode* b = create_mesh_node(root, &mesh);
    ASSERT_EQ(root->children->count, 2u);
    EXPECT_EQ(root->children->items[0], a);
    EXPECT_EQ(root->children->items[1], b);
    EXPECT_EQ(create_group_node(b), nullptr);
    EXPECT_EQ(create_mesh_node(nullptr, &mesh), nullptr);
}

}  // namespace
