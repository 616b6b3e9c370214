// The committed models load through the project's reader, are closed and fully textured
// inside their textures, and stay inside the frame however the show poses them.
#include <gtest/gtest.h>

#include <map>
#include <utility>

#include "loaders/obj.h"
#include "math/matrix.h"
#include "platform/clock.h"
#include "render/raster.h"
#include "render/scene.h"
#include "show_pose.h"

namespace {

struct LoadedModel {
    Model* model;
    explicit LoadedModel(const char* path, int32_t scale) : model(load_obj(path, scale)) {}
    ~LoadedModel() { free_model(model); }
};

Triangle* triangle_at(const Model* model, int32_t i) {
    return model->mesh.triangles[i];
}

struct ModelCase {
    const char* name;
    const char* path;
    int32_t scale;
    int32_t min_triangles, max_triangles;
};

class CommittedModel : public testing::TestWithParam<ModelCase> {};

TEST_P(CommittedModel, EveryTriangleIsTexturedInsideItsTexture) {
    LoadedModel loaded(GetParam().path, GetParam().scale);
    const Model* model = loaded.model;
    ASSERT_NE(model, nullptr);
    ASSERT_NE(model->material, nullptr);
    EXPECT_GE(model->mesh.count, GetParam().min_triangles);
    EXPECT_LE(model->mesh.count, GetParam().max_triangles);
    const Texture* texture = model->material;
    for (int32_t i = 0; i < model->mesh.count; ++i) {
        const Triangle* t = triangle_at(model, i);
        ASSERT_EQ(t->texture, texture) << "triangle " << i;
        for (const TexCoord* c : t->texcoords) {
            ASSERT_NE(c, nullptr) << "triangle " << i;
            EXPECT_GE(c->u, 0);
            EXPECT_LT(c->u, static_cast<int32_t>(texture->width)) << "triangle " << i;
            EXPECT_GE(c->v, 0);
            EXPECT_LT(c->v, static_cast<int32_t>(texture->height)) << "triangle " << i;
        }
    }
}

// Closed: every edge belongs to exactly two triangles, and positions are whole units.
TEST_P(CommittedModel, IsAClosedMeshOfWholeUnits) {
    LoadedModel loaded(GetParam().path, GetParam().scale);
    ASSERT_NE(loaded.model, nullptr);
    std::map<std::pair<const Vertex*, const Vertex*>, int> edges;
    for (int32_t i = 0; i < loaded.model->mesh.count; ++i) {
        const Triangle* t = triangle_at(loaded.model, i);
        for (int k = 0; k < 3; ++k) {
            const Vertex* a = t->vertices[k];
            const Vertex* b = t->vertices[(k + 1) % 3];
            ++edges[a < b ? std::make_pair(a, b) : std::make_pair(b, a)];
        }
    }
    for (const auto& [edge, uses] : edges) EXPECT_EQ(uses, 2);
    PtrVector* vertices = loaded.model->vertex_list;
    for (uint64_t i = 0; i < vertices->count; ++i) {
        const Vertex* v = static_cast<const Vertex*>(vertices->items[i]);
        EXPECT_EQ(v->model_x & 0xFFFF, 0);
        EXPECT_EQ(v->model_y & 0xFFFF, 0);
        EXPECT_EQ(v->model_z & 0xFFFF, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Res, CommittedModel,
                         testing::Values(ModelCase{"Pumpkin", "res/pumpkin.obj", 64, 1000, 3000},
                                         ModelCase{"Cube", "res/cube.obj", 1, 12, 400}),
                         [](const testing::TestParamInfo<ModelCase>& info) {
                             return std::string(info.param.name);
                         });

// Transforms a scene with the real scene graph and reports the extremes of its projected
// vertices.
struct Extent {
    int32_t left = 1 << 30, right = -(1 << 30), top = 1 << 30, bottom = -(1 << 30);
    Fixed nearest = 0x7FFFFFFF;
    void measure(const Model* model) {
        PtrVector* vertices = model->vertex_list;
        for (uint64_t i = 0; i < vertices->count; ++i) {
            const Vertex* v = static_cast<const Vertex*>(vertices->items[i]);
            left = std::min(left, v->screen_x);
            right = std::max(right, v->screen_x);
            top = std::min(top, v->screen_y);
            bottom = std::max(bottom, v->screen_y);
            nearest = std::min(nearest, v->view_z);
        }
    }
};

void transform(SceneNode* root) {
    ++frame_count;
    matrix_reset();
    render_transform(root);
}

TEST(PumpkinInFrame, StaysInsideThroughTurnTiltBobAndSwell) {
    LoadedModel loaded("res/pumpkin.obj", 64);
    ASSERT_NE(loaded.model, nullptr);
    SceneNode* root = create_root_node();
    SceneNode* tilt = create_group_node(root);
    SceneNode* pulse = create_group_node(tilt);
    SceneNode* turn = create_mesh_node(pulse, &loaded.model->mesh);
    for (SceneNode* node : {root, tilt, pulse, turn}) node->transform_mode = 2;
    frame_count = 0;
    Extent all;
    // Phase 1 turns through two full turns, phase 2 tilts, phase 3 repeats every 24 ticks;
    // a stretch of phase 3 far on checks that the angle's wrap changes nothing.
    std::vector<uint32_t> ticks;
    for (uint32_t t = 0; t <= 1100; ++t) ticks.push_back(t);
    for (uint32_t t = 500000; t < 500048; ++t) ticks.push_back(t);
    for (uint32_t tick : ticks) {
        PumpkinPose pose = pumpkin_pose(tick);
        matrix_identity(&pulse->local);
        if (pose.swell) matrix_scaling(&pulse->local, pose.swell, 0x10000, 0x10000);
        matrix_rotation_x(&tilt->local, pose.tilt);
        matrix_rotation_y(&turn->local, pose.turn);
        matrix_identity(&root->local);
        matrix_set_translation(&root->local, pose.x, pose.y, pose.z);
        transform(root);
        Extent now;
        now.measure(loaded.model);
        ASSERT_GE(now.left, 0) << "tick " << tick;
        ASSERT_LE(now.right, RASTER_WIDTH - 1) << "tick " << tick;
        ASSERT_GE(now.top, 0) << "tick " << tick;
        ASSERT_LE(now.bottom, RASTER_HEIGHT - 1) << "tick " << tick;
        ASSERT_GT(now.nearest, 0x10000) << "tick " << tick;
        all.measure(loaded.model);
    }
    RecordProperty("extent", std::to_string(all.left) + ".." + std::to_string(all.right) + " x " +
                                 std::to_string(all.top) + ".." + std::to_string(all.bottom));
    // Big enough to be the show's centrepiece.
    EXPECT_GE(all.right - all.left, 120);
    EXPECT_GE(all.bottom - all.top, 100);
}

TEST(CubeInFrame, StaysInsideThroughTheIntro) {
    LoadedModel loaded("res/cube.obj", 1);
    ASSERT_NE(loaded.model, nullptr);
    SceneNode* root = create_root_node();
    SceneNode* group = create_group_node(root);
    SceneNode* mesh = create_mesh_node(group, &loaded.model->mesh);
    root->transform_mode = 2;
    group->transform_mode = 2;
    mesh->transform_mode = 1;
    frame_count = 0;
    for (uint32_t frame = 0; frame < 300; ++frame) {
        CubePose pose = cube_pose(frame);
        matrix_identity(&root->local);
        matrix_set_translation(&root->local, 0, pose.y, 0xB40000);
        matrix_rotation_y(&group->local, pose.turn);
        transform(root);
        Extent now;
        now.measure(loaded.model);
        ASSERT_GE(now.left, 0);
        ASSERT_LE(now.right, RASTER_WIDTH - 1);
        ASSERT_GE(now.top, 0);
        ASSERT_LE(now.bottom, RASTER_HEIGHT - 1);
        ASSERT_GT(now.nearest, 0x10000);
    }
}

}  // namespace
