// Fill rate of the two triangle fillers, and one frame of a closed textured mesh of about
// 2,000 triangles at the show's distance (transform, depth clear and draw).
#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "core/clock.h"
#include "core/framebuffer.h"
#include "render/raster.h"
#include "render/scene.h"

namespace {

constexpr Fixed to_fixed(int32_t n) {
    return n * FIXED_ONE;
}

// A triangle beyond every edge of the frame: it writes columns 0..398 of rows 0..238.
struct FullFrame {
    Vertex v[3] = {};
    TexCoord tc[3] = {{0, 0}, {255, 0}, {0, 255}};
    std::vector<uint8_t> texels = std::vector<uint8_t>(256 * 256);
    Texture texture = {texels.data(), 256, 256};
    Triangle t = {};

    FullFrame() {
        const int32_t corners[3][2] = {{-1000, -1000}, {3000, -1000}, {-1000, 3000}};
        for (int i = 0; i < 3; ++i) {
            v[i].screen_x = corners[i][0];
            v[i].screen_y = corners[i][1];
            t.vertices[i] = &v[i];
            t.texcoords[i] = &tc[i];
        }
        for (size_t i = 0; i < texels.size(); ++i) texels[i] = static_cast<uint8_t>(i * 7);
        t.texture = &texture;
        t.flat_colour = 15;
    }
};

// Draws the triangle nearer every time so that every pixel passes the depth test.
template <void (*Draw)(Triangle*)>
void fill_full_frame(benchmark::State& state) {
    frame_attach_storage();
    FullFrame frame;
    int32_t depth = 0;
    int64_t pixels = 0;
    for (auto _ : state) {
        if (depth <= 1) {
            clear_depth();
            depth = 0x7FFF;  // one beyond the farthest depth the textured filler draws
        }
        --depth;
        for (Vertex& v : frame.v) v.view_z = to_fixed(depth);
        Draw(&frame.t);
        pixels += frame.t.pixel_count;
        benchmark::DoNotOptimize(framebuffer.pixels);
    }
    state.counters["time_per_pixel"] = benchmark::Counter(
        static_cast<double>(pixels), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_FlatFullFrame(benchmark::State& state) {
    fill_full_frame<draw_flat_triangle>(state);
}
void BM_TexturedFullFrame(benchmark::State& state) {
    fill_full_frame<draw_textured_triangle>(state);
}
BENCHMARK(BM_FlatFullFrame);
BENCHMARK(BM_TexturedFullFrame);

// A UV sphere of radius 96 (the pumpkin's size at scale 64) with a 64 x 64 texture wrapped
// once around it: 32 slices x 32 stacks, 1984 triangles over shared vertices.
struct Sphere {
    static constexpr int kSlices = 32, kStacks = 32, kRadius = 96, kTexels = 64;
    std::vector<Vertex> vertices;
    std::vector<TexCoord> texcoords;
    std::vector<Triangle> triangles;
    std::vector<Triangle*> order;
    std::vector<uint8_t> texels = std::vector<uint8_t>(kTexels * kTexels);
    Texture texture = {texels.data(), kTexels, kTexels};
    Mesh mesh = {};

    Sphere() {
        for (int stack = 0; stack <= kStacks; ++stack) {
            const double polar = std::numbers::pi * stack / kStacks;
            for (int slice = 0; slice <= kSlices; ++slice) {
                const double azimuth = 2 * std::numbers::pi * slice / kSlices;
                Vertex v = {};
                v.model_x = to_fixed(std::lround(kRadius * std::sin(polar) * std::cos(azimuth)));
                v.model_y = to_fixed(std::lround(-kRadius * std::cos(polar)));
                v.model_z = to_fixed(std::lround(kRadius * std::sin(polar) * std::sin(azimuth)));
                vertices.push_back(v);
                texcoords.push_back(
                    {slice * (kTexels - 1) / kSlices, stack * (kTexels - 1) / kStacks});
            }
        }
        for (size_t i = 0; i < texels.size(); ++i) texels[i] = static_cast<uint8_t>(32 + i % 200);
        auto at = [](int stack, int slice) { return stack * (kSlices + 1) + slice; };
        for (int stack = 0; stack < kStacks; ++stack) {
            for (int slice = 0; slice < kSlices; ++slice) {
                const int a = at(stack, slice), b = at(stack, slice + 1);
                const int c = at(stack + 1, slice), d = at(stack + 1, slice + 1);
                if (stack != 0) add(a, b, d);            // the poles have one triangle
                if (stack != kStacks - 1) add(a, d, c);  // per slice
            }
        }
        for (Triangle& t : triangles) order.push_back(&t);
        mesh = {order.data(), static_cast<int32_t>(order.size())};
    }

    void add(int a, int b, int c) {
        Triangle t = {};
        const int corners[3] = {a, b, c};
        for (int i = 0; i < 3; ++i) {
            t.vertices[i] = &vertices[corners[i]];
            t.texcoords[i] = &texcoords[corners[i]];
        }
        t.texture = &texture;
        t.pixel_count = PIXEL_COUNT_UNDRAWN;
        t.flat_colour = 15;
        triangles.push_back(t);
    }
};

void BM_SphereFrame(benchmark::State& state) {
    frame_attach_storage();
    Sphere sphere;
    SceneNode* root = create_root_node();
    SceneNode* model = create_mesh_node(root, &sphere.mesh);
    model->transform_mode = TRANSFORM_COMPOSE;
    matrix_reset();
    int64_t pixels = 0;
    Fixed angle = 0;
    for (auto _ : state) {
        ++frame_count;
        angle += FIXED_ONE / 2;  // half a degree per frame, as a turning model
        matrix_euler_rotation(&model->local, angle, angle / 3, 0);
        matrix_set_translation(&model->local, 0, 0, to_fixed(180));
        render_transform(root);
        clear_depth();
        render_draw(root, DRAW_FILLED);
    }
    // Pixels of the last frame (a triangle that spans no row keeps an older count).
    for (const Triangle& t : sphere.triangles) {
        if (t.pixel_count != PIXEL_COUNT_UNDRAWN) pixels += t.pixel_count;
    }
    const double triangles = static_cast<double>(sphere.triangles.size());
    state.counters["triangles"] = triangles;
    state.counters["pixels_last_frame"] = static_cast<double>(pixels);
    state.counters["time_per_triangle"] =
        benchmark::Counter(triangles * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_SphereFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
