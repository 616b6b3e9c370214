#include "effects/burst.h"

#include <cstdlib>

#include "core/framebuffer.h"
#include "core/random.h"
#include "math/trig.h"
#include "render/raster.h"

std::array<Burst, BURST_SLOTS> bursts{};

namespace {

constexpr int kTriangles = 5;
constexpr int kPoints = 3 * kTriangles;
constexpr uint8_t kColours[kTriangles] = {COLOUR_DARK_GREY, COLOUR_DARK_RED_BROWN,
                                          COLOUR_DARK_RED_BROWN, COLOUR_DARK_GREY,
                                          COLOUR_DARK_GREY};

// The five triangles' offsets from the centre for half-width s and wing-tip height w: body,
// left wing, right wing, left ear, right ear. s / 2 and s / 4 are arithmetic shifts except in
// the wings, which divide (truncating) by 3 and 2.
void figure_points(BurstPoint* p, Fixed s, Fixed w) {
    const Fixed offsets[kPoints][2] = {
        {-s, -s},
        {s, -s},
        {0, s + (s >> 1)},  // body
        {-s, -s},
        {-(s / 3), s / 2},
        {wrap_mul(-5, s), w},  // left wing
        {s, -s},
        {s / 3, s / 2},
        {wrap_mul(5, s), w},  // right wing
        {-s, -s},
        {(s >> 1) - s, -s},
        {-s - (s >> 2), wrap_mul(-2, s)},  // left ear
        {s, -s},
        {s - (s >> 1), -s},
        {s + (s >> 2), wrap_mul(-2, s)},  // right ear
    };
    for (int i = 0; i < kPoints; ++i) {
        p[i].x = offsets[i][0];
        p[i].y = offsets[i][1];
    }
}

// Tenths of a degree to fine angles (1440 per 1800 tenths, a half turn).
int32_t tenths_to_fine(int32_t tenths) {
    return static_cast<int32_t>(int64_t{tenths} * 1440 / 1800);
}

}  // namespace

void spawn_burst(int32_t x, int32_t y, int32_t angle, int32_t flap_rate, int32_t size) {
    for (Burst& b : bursts) {
        if (b.active) continue;
        b.active = 1;
        b.x = x;
        b.y = y;
        b.angle = angle;
        b.flap_rate = flap_rate;
        b.size = size;
        b.age = 0;
        b.drift = ((show_random() & 0xFF) - 128) * 400;  // about -0.78 .. +0.78 per update
        return;
    }
}

void update_bursts(int32_t step) {
    for (Burst& b : bursts) {
        if (!b.active) continue;
        update_burst(&b, step, wrap_add(b.x, b.drift), wrap_sub(b.y, BURST_RISE), b.angle, b.size);
    }
}

void update_burst(Burst* burst, int32_t step, Fixed new_x, Fixed new_y, int32_t angle, Fixed size) {
    if (burst->age > BURST_LIFE) {
        burst->active = 0;
        return;
    }
    const Fixed s = size;
    const int32_t phase = wrap_mul(burst->age, burst->flap_rate) / 720;
    const Fixed w = wrap_mul(wrap_mul(static_cast<int32_t>(fine_sin(phase)), s >> 16), 3);

    burst->angle = angle;
    burst->x = new_x;
    burst->y = new_y;

    BurstPoint points[kPoints];
    Triangle triangles[kTriangles] = {};
    figure_points(points, s, w);
    for (int i = 0; i < kPoints; i += 3) rotate_points(&points[i], angle);
    for (BurstPoint& p : points) {
        p.vertex = Vertex{};
        p.vertex.view_x = wrap_add(p.x, new_x);
        p.vertex.view_y = wrap_add(p.y, new_y);
        p.vertex.view_z = BURST_DEPTH;
    }
    for (int t = 0; t < kTriangles; ++t) {
        for (int c = 0; c < 3; ++c) triangles[t].vertices[c] = &points[3 * t + c].vertex;
        triangles[t].flat_colour = kColours[t];
    }
    for (Triangle& t : triangles) project_triangle(&t);
    for (Triangle& t : triangles) draw_flat_triangle(&t);

    burst->age = wrap_add(burst->age, step);
}

void init_burst(Burst* burst, int32_t x, int32_t y, int32_t angle, int32_t flap_rate,
                int32_t size) {
    burst->x = x;
    burst->y = y;
    burst->angle = angle;
    burst->flap_rate = flap_rate;
    burst->size = size;
    burst->age = show_random() % 2000;
}

void rotate_point(BurstPoint* point, int32_t angle) {
    const int64_t cos = fine_sin(tenths_to_fine(wrap_add(angle, 900)));
    const int64_t sin = fine_sin(tenths_to_fine(angle));
    const int64_t x = point->x;
    const int64_t y = point->y;
    point->x =
        wrap_sub(static_cast<int32_t>((cos * x) >> 16), static_cast<int32_t>((sin * y) >> 16));
    point->y =
        wrap_add(static_cast<int32_t>((sin * x) >> 16), static_cast<int32_t>((cos * y) >> 16));
}

void rotate_points(BurstPoint* points, int32_t angle) {
    for (int i = 0; i < 3; ++i) rotate_point(&points[i], angle);
}
