#include "render/raster.h"

#include <algorithm>
#include <cstddef>
#include <type_traits>

#include "core/clock.h"
#include "core/framebuffer.h"

std::array<uint16_t, RASTER_WIDTH * RASTER_HEIGHT> depth_buffer;

namespace {

// Spans stop before this column and edges before this row, so neither is ever written.
constexpr int32_t END_COLUMN = RASTER_WIDTH - 1;
constexpr int32_t END_ROW = RASTER_HEIGHT - 1;

// A depth below 1.0 projects as exactly 1.0.
constexpr Fixed NEAREST_PROJECTED_DEPTH = FIXED_ONE;

// The edge-point and span-step values: x in 16.16 pixels, z the view depth, u and v in 16.16
// texels. The flat filler carries x and z only.
struct FlatPoint {
    int32_t x, z;
};
struct TexturedPoint {
    int32_t x, z, u, v;
};

template <typename P>
constexpr bool kTextured = std::is_same_v<P, TexturedPoint>;

// Empty span ends. An edge point replaces them unless it lies beyond them (for the flat ones,
// left of -1.0 or right of 401.0), and a span keeping either one is off the frame and skipped:
// its left end lies beyond the last column or its right end before the first.
template <typename P>
struct EmptySpan;
template <>
struct EmptySpan<FlatPoint> {
    static constexpr FlatPoint left = {0x1910000, 0x7FFF0000};  // 401.0
    static constexpr FlatPoint right = {-FIXED_ONE, 0};
};
template <>
struct EmptySpan<TexturedPoint> {
    static constexpr TexturedPoint left = {INT32_MAX, 0x7FFF0000, 0x7FFF0000, 0x7FFF0000};
    static constexpr TexturedPoint right = {INT32_MIN, 0, -FIXED_ONE, -FIXED_ONE};
};

template <typename P>
struct Span {
    P left, right;
};

// Interpolation wraps at 32 bits: far-off corners give values that do not fit, and the
// buffers are protected by the row and column clamps, not by the arithmetic.
template <typename P>
P difference(const P& a, const P& b) {
    P d;
    d.x = wrap_sub(b.x, a.x);
    d.z = wrap_sub(b.z, a.z);
    if constexpr (kTextured<P>) {
        d.u = wrap_sub(b.u, a.u);
        d.v = wrap_sub(b.v, a.v);
    }
    return d;
}

// Truncating division; the single quotient that does not fit (INT32_MIN / -1) wraps.
int32_t divide(int32_t n, int32_t d) {
    return d == -1 ? wrap_sub(0, n) : n / d;
}

template <typename P>
P divided(const P& p, int32_t d) {
    P q;
    q.x = divide(p.x, d);
    q.z = divide(p.z, d);
    if constexpr (kTextured<P>) {
        q.u = divide(p.u, d);
        q.v = divide(p.v, d);
    }
    return q;
}

// The per-column steps of a span of width w (x does not step along a span).
template <typename P>
P span_step(const P& left, const P& right, int32_t w) {
    P step;
    step.x = 0;
    step.z = divide(wrap_sub(right.z, left.z), w);
    if constexpr (kTextured<P>) {
        step.u = divide(wrap_sub(right.u, left.u), w);
        step.v = divide(wrap_sub(right.v, left.v), w);
    }
    return step;
}

// p += step * n, wrapping.
template <typename P>
void advance(P& p, const P& step, int32_t n) {
    p.x = wrap_add(p.x, wrap_mul(step.x, n));
    p.z = wrap_add(p.z, wrap_mul(step.z, n));
    if constexpr (kTextured<P>) {
        p.u = wrap_add(p.u, wrap_mul(step.u, n));
        p.v = wrap_add(p.v, wrap_mul(step.v, n));
    }
}

template <typename P>
void add(P& p, const P& step) {
    p.x = wrap_add(p.x, step.x);
    p.z = wrap_add(p.z, step.z);
    if constexpr (kTextured<P>) {
        p.u = wrap_add(p.u, step.u);
        p.v = wrap_add(p.v, step.v);
    }
}

// Records the edge from a (row ya) to b (row yb) in the rows it covers: its top row up to but
// not including its bottom row, clipped to the rows a triangle may reach.
template <typename P>
void walk_edge(P a, int32_t ya, P b, int32_t yb, Span<P>* spans) {
    if (yb < ya) {
        std::swap(a, b);
        std::swap(ya, yb);
    }
    const int32_t first = std::max(ya, 0);
    const int32_t end = std::min(yb, END_ROW);
    if (first >= end) return;  // covers no row; nothing below would be recorded

    // Here yb > ya, so the difference is positive unless it wrapped (corners 2^31 rows
    // apart); divide() keeps even that case defined.
    const P step = divided(difference(a, b), wrap_sub(yb, ya));
    if (ya < 0) advance(a, step, wrap_sub(0, ya));
    for (int32_t y = first; y < end; ++y) {
        Span<P>& span = spans[y];
        if (a.x < span.left.x) span.left = a;
        if (a.x > span.right.x) span.right = a;
        add(a, step);
    }
}

template <typename P>
P corner_point(const Vertex& vertex, const TexCoord* texcoord) {
    P p;
    p.x = wrap_shl(vertex.screen_x, FIXED_SHIFT);
    p.z = vertex.view_z;
    if constexpr (kTextured<P>) {
        p.u = wrap_shl(texcoord->u, FIXED_SHIFT);
        p.v = wrap_shl(texcoord->v, FIXED_SHIFT);
    }
    return p;
}

bool has_corners(const Triangle* t) {
    return t != nullptr && t->vertices[0] != nullptr && t->vertices[1] != nullptr &&
           t->vertices[2] != nullptr;
}

// The depth a pixel at interpolated z stores: the integer part of z, kept to 16 bits and read
// as signed (z is carried as unsigned so that its stepping may wrap).
int32_t depth_of(uint32_t z) {
    return static_cast<int16_t>(z >> FIXED_SHIFT);
}

// One clipped span, ready to fill: columns first..first+count-1 of row y, and the
// interpolated values at column `first` with their per-column steps.
template <typename P>
struct SpanRun {
    int32_t offset;  // y * 400 + first
    int32_t count;
    P start, step;
};

// Clips one row's span to the columns a triangle may reach; false when nothing is left.
template <typename P>
bool clip_span(const Span<P>& span, int32_t y, SpanRun<P>* run) {
    const int32_t xl = span.left.x >> FIXED_SHIFT;
    const int32_t xr = span.right.x >> FIXED_SHIFT;
    if (xl > END_COLUMN || xr < 0) return false;
    const int32_t first = std::max(xl, 0);
    const int32_t end = std::min(xr, END_COLUMN);
    if (first >= end) return false;
    // first >= xl and end <= xr, so 1 <= w <= 0xFFFF here.
    const int32_t w = xr - xl;
    run->step = span_step(span.left, span.right, w);
    run->start = span.left;
    if (xl < 0) advance(run->start, run->step, -xl);
    run->offset = y * RASTER_WIDTH + first;
    run->count = end - first;
    return true;
}

int32_t fill_flat_span(const SpanRun<FlatPoint>& run, uint8_t colour) {
    uint8_t* pixel = framebuffer.pixels + run.offset;
    uint16_t* depth = depth_buffer.data() + run.offset;
    uint16_t* const end = depth + run.count;
    uint32_t z = static_cast<uint32_t>(run.start.z);
    const uint32_t dz = static_cast<uint32_t>(run.step.z);
    int32_t written = 0;
    for (; depth != end; ++depth, ++pixel, z += dz) {
        const int32_t d = depth_of(z);
        if (d < *depth) {
            *pixel = colour;
            *depth = static_cast<uint16_t>(d);
            ++written;
        }
    }
    return written;
}

// Whether start + k * step stays inside [0, limit) for every k < count, computed without
// wrapping. A linear sequence lies between its ends, so only the ends are checked; inside the
// limit (at most 2^31) the 32-bit stepping cannot wrap either.
bool stays_within(int32_t start, int32_t step, int32_t count, int64_t limit) {
    const int64_t last = int64_t{start} + int64_t{step} * (count - 1);
    return start >= 0 && last >= 0 && start < limit && last < limit;
}

int32_t fill_textured_span(const SpanRun<TexturedPoint>& run, const Texture& texture,
                           bool corners_inside) {
    uint8_t* pixel = framebuffer.pixels + run.offset;
    uint16_t* depth = depth_buffer.data() + run.offset;
    uint16_t* const end = depth + run.count;
    uint32_t z = static_cast<uint32_t>(run.start.z);
    const uint32_t dz = static_cast<uint32_t>(run.step.z);
    uint32_t u = static_cast<uint32_t>(run.start.u);
    const uint32_t du = static_cast<uint32_t>(run.step.u);
    const int64_t width = texture.width;
    int32_t written = 0;

    constexpr int64_t kLimit = int64_t{1} << 31;
    const int64_t u_limit = std::min(width << FIXED_SHIFT, kLimit);
    const int64_t v_limit = std::min(int64_t{texture.height} << FIXED_SHIFT, kLimit);
    if (corners_inside || (stays_within(run.start.u, run.step.u, run.count, u_limit) &&
                           stays_within(run.start.v, run.step.v, run.count, v_limit))) {
        // Every texel of the span lies inside the texture, so no read needs a clamp. (Stepping
        // a row pointer by v's carries instead of multiplying costs more in setup than it
        // saves on the short spans of a mesh.)
        const uint8_t* const pixels = texture.pixels;
        const size_t row_length = texture.width;
        uint32_t v = static_cast<uint32_t>(run.start.v);
        const uint32_t dv = static_cast<uint32_t>(run.step.v);
        for (; depth != end; ++depth, ++pixel) {
            const int32_t d = depth_of(z);
            if (d > 0 && d < *depth) {
                *pixel = pixels[(v >> FIXED_SHIFT) * row_length + (u >> FIXED_SHIFT)];
                *depth = static_cast<uint16_t>(d);
                ++written;
            }
            z += dz;
            u += du;
            v += dv;
        }
        return written;
    }

    // Some texel falls outside: clamp each read to the last row and column (and to the first).
    uint32_t v = static_cast<uint32_t>(run.start.v);
    const uint32_t dv = static_cast<uint32_t>(run.step.v);
    const int64_t last_column = width - 1;
    const int64_t last_row = int64_t{texture.height} - 1;
    for (; depth != end; ++depth, ++pixel, z += dz, u += du, v += dv) {
        const int32_t d = depth_of(z);
        if (d > 0 && d < *depth) {
            const int64_t column =
                std::clamp<int64_t>(static_cast<int32_t>(u) >> FIXED_SHIFT, 0, last_column);
            const int64_t row =
                std::clamp<int64_t>(static_cast<int32_t>(v) >> FIXED_SHIFT, 0, last_row);
            *pixel = texture.pixels[row * width + column];
            *depth = static_cast<uint16_t>(d);
            ++written;
        }
    }
    return written;
}

bool has_usable_texture(const Triangle* t) {
    const Texture* texture = t->texture;
    return texture != nullptr && texture->pixels != nullptr && texture->width > 0 &&
           texture->height > 0 && t->texcoords[0] != nullptr && t->texcoords[1] != nullptr &&
           t->texcoords[2] != nullptr;
}

// Whether every corner's texel lies inside a texture small enough for 16.16 texel values.
// Edge steps and span steps are truncated quotients, so every interpolated value of a drawn
// pixel lies between two corner values: such a triangle never reads outside its texture.
bool texcoords_inside(const Triangle* t) {
    constexpr uint32_t kLargest = 0x7FFF;
    const Texture& texture = *t->texture;
    if (texture.width > kLargest || texture.height > kLargest) return false;
    for (const TexCoord* tc : t->texcoords) {
        if (tc->u < 0 || tc->v < 0 || static_cast<uint32_t>(tc->u) >= texture.width ||
            static_cast<uint32_t>(tc->v) >= texture.height) {
            return false;
        }
    }
    return true;
}

template <typename P>
void rasterise(Triangle* t) {
    const Vertex* const* corners = t->vertices;
    int32_t ymin = RASTER_HEIGHT + 1;
    int32_t ymax = -1;
    for (int i = 0; i < 3; ++i) {
        ymin = std::min(ymin, corners[i]->screen_y);
        ymax = std::max(ymax, corners[i]->screen_y);
    }
    ymin = std::max(ymin, 0);
    ymax = std::min(ymax, END_ROW);
    if (ymin == ymax) return;

    Span<P> spans[RASTER_HEIGHT];
    for (int32_t y = ymin; y < ymax; ++y) spans[y] = {EmptySpan<P>::left, EmptySpan<P>::right};

    P points[3];
    for (int i = 0; i < 3; ++i) points[i] = corner_point<P>(*corners[i], t->texcoords[i]);
    for (int i = 0; i < 3; ++i) {
        const int j = (i + 1) % 3;
        walk_edge(points[i], corners[i]->screen_y, points[j], corners[j]->screen_y, spans);
    }

    bool corners_inside = false;
    if constexpr (kTextured<P>) corners_inside = texcoords_inside(t);
    int32_t written = 0;
    for (int32_t y = ymin; y < ymax; ++y) {
        SpanRun<P> run;
        if (!clip_span(spans[y], y, &run)) continue;
        if constexpr (kTextured<P>) {
            written += fill_textured_span(run, *t->texture, corners_inside);
        } else {
            written += fill_flat_span(run, t->flat_colour);
        }
    }
    t->pixel_count = written;
}

}  // namespace

void clear_depth() {
    depth_buffer.fill(DEPTH_EMPTY);
}

void project_vertex(Vertex* vertex) {
    // trunc(150 * X / Z): the fraction bits of X and Z cancel in the quotient. |quotient| is
    // below 2^31 * 150 / 2^16, so it fits in 32 bits.
    const int64_t z = std::max(vertex->view_z, NEAREST_PROJECTED_DEPTH);
    const int64_t sx = int64_t{vertex->view_x} * FOCAL_LENGTH / z;
    const int64_t sy = int64_t{vertex->view_y} * FOCAL_LENGTH / z;
    vertex->screen_x = wrap_add(static_cast<int32_t>(sx), SCREEN_CENTRE_X);
    vertex->screen_y = wrap_add(static_cast<int32_t>(sy), SCREEN_CENTRE_Y);
    vertex->stamp = frame_count;
}

void project_triangle(Triangle* triangle) {
    if (!has_corners(triangle)) return;
    Fixed nearest = INT32_MAX;
    for (Vertex* vertex : triangle->vertices) {
        project_vertex(vertex);
        nearest = std::min(nearest, vertex->view_z);
    }
    triangle->nearest_depth = nearest;
}

void draw_flat_triangle(Triangle* triangle) {
    if (!has_corners(triangle)) return;
    rasterise<FlatPoint>(triangle);
}

void draw_textured_triangle(Triangle* triangle) {
    if (!has_corners(triangle)) return;
    if (has_usable_texture(triangle)) {
        rasterise<TexturedPoint>(triangle);
    } else {
        rasterise<FlatPoint>(triangle);
    }
}
