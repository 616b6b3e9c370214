// The committed models load through the project's reader, are closed and fully textured
// inside their textures, and stay inside the frame however the show poses them.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>

#include "core/clock.h"
#include "core/framebuffer.h"
#include "demo/headless.h"
#include "demo/intro.h"
#include "demo/show.h"
#include "loaders/obj.h"
#include "math/matrix.h"
#include "render/raster.h"
#include "render/scene.h"

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

// Named in test listings instead of the bytes gtest would print.
void PrintTo(const ModelCase& c, std::ostream* out) {
    *out << c.path;
}

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

// The extremes of a model's projected vertices in the current frame.
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
    void expect_inside(const std::string& when) const {
        EXPECT_GE(left, 0) << when;
        EXPECT_LE(right, RASTER_WIDTH - 1) << when;
        EXPECT_GE(top, 0) << when;
        EXPECT_LE(bottom, RASTER_HEIGHT - 1) << when;
        EXPECT_GT(nearest, 0x10000) << when;
    }
};

// The show's own start-up and frames pose the models, so these checks see exactly what the
// program shows.
class ShowPoses : public testing::Test {
   protected:
    static void SetUpTestSuite() {
        static HeadlessShow show;
        ASSERT_EQ(headless_start(&show, nullptr, nullptr, nullptr), 0);
    }
};

TEST_F(ShowPoses, CubeStaysInsideThroughTheIntro) {
    frame_count = 0xFFFFFFFF;
    IntroState intro{};
    while (intro_running()) {
        draw_intro_frame(&intro);
        Extent now;
        now.measure(intro_cube);
        now.expect_inside("intro frame " + std::to_string(frame_count + 1));
        ++frame_count;
    }
}

TEST_F(ShowPoses, PumpkinStaysInsideThroughTurnTiltBobAndSwell) {
    frame_count = 299;
    MainLoopState state{};
    Extent all;
    // Phase 1 turns through two full turns, phase 2 tilts, phase 3 repeats every 24 ticks;
    // a stretch of phase 3 far on checks that nothing changes as the count grows.
    std::vector<uint32_t> ticks;
    for (uint32_t t = 0; t <= 1100; ++t) ticks.push_back(t);
    for (uint32_t t = 500000; t < 500048; ++t) ticks.push_back(t);
    for (uint32_t tick : ticks) {
        tick_count.store(tick);
        draw_main_frame(&state);
        Extent now;
        now.measure(pumpkin_model);
        now.expect_inside("tick " + std::to_string(tick));
        all.measure(pumpkin_model);
        finish_main_frame(&state);
    }
    tick_count.store(0);
    // Big enough to be the show's centrepiece.
    EXPECT_GE(all.right - all.left, 120);
    EXPECT_GE(all.bottom - all.top, 100);
}

}  // namespace
