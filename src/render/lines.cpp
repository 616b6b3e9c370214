#include "render/lines.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "core/framebuffer.h"

namespace {

bool frame_ready() {
    return framebuffer.pixels != nullptr && framebuffer.width > 0 && framebuffer.height > 0;
}

// The Bresenham line with one error term, started at err = dx / 2 (or -(dy / 2)), always steps
// its major axis and steps its minor axis after k major steps
//     q(k) = (k * minor + major - 1 - major / 2) / major
// times (the error term stays in [0, major) or (-major, 0]). Knowing q in closed form lets a
// line start at its first pixel inside the frame, however far outside it begins.
struct LineWalk {
    uint64_t major, minor;  // |delta| along each axis, major >= minor
    uint64_t bias;          // major - 1 - major / 2

    uint64_t minor_steps(uint64_t k) const { return (k * minor + bias) / major; }
};

// The k in [lo, hi] (lo <= hi) from which on q(k) exceeds `limit`; hi + 1 if none does.
uint64_t first_beyond(const LineWalk& walk, uint64_t lo, uint64_t hi, int64_t limit) {
    if (limit < 0) return lo;
    uint64_t end = hi + 1;
    while (lo < end) {
        uint64_t mid = lo + (end - lo) / 2;
        if (static_cast<int64_t>(walk.minor_steps(mid)) > limit) {
            end = mid;
        } else {
            lo = mid + 1;
        }
    }
    return lo;
}

// The k range [lo, hi] in which position + sign * k lies in [0, size); false if none.
bool axis_range(int64_t position, int64_t sign, int64_t size, int64_t steps, int64_t* lo,
                int64_t* hi) {
    int64_t a = sign > 0 ? -position : position - (size - 1);
    int64_t b = sign > 0 ? size - 1 - position : position;
    *lo = std::max<int64_t>(a, 0);
    *hi = std::min<int64_t>(b, steps);
    return *lo <= *hi;
}

}  // namespace

void draw_line(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint8_t colour) {
    if (!frame_ready()) return;
    const int64_t dx = std::abs(int64_t{x1} - x0);
    const int64_t dy = std::abs(int64_t{y1} - y0);
    const int64_t sx = x0 < x1 ? 1 : -1;
    const int64_t sy = y0 < y1 ? 1 : -1;
    const int64_t width = framebuffer.width;
    const bool x_major = dx > dy;

    // Name everything by role: the major axis steps every pixel, the minor one by q(k).
    const int64_t major_pos = x_major ? x0 : y0, minor_pos = x_major ? y0 : x0;
    const int64_t major_sign = x_major ? sx : sy, minor_sign = x_major ? sy : sx;
    const int64_t major_size = x_major ? framebuffer.width : framebuffer.height;
    const int64_t minor_size = x_major ? framebuffer.height : framebuffer.width;
    const ptrdiff_t major_stride = x_major ? sx : sy * width;
    const ptrdiff_t minor_stride = x_major ? sy * width : sx;
    LineWalk walk;
    walk.major = static_cast<uint64_t>(std::max(dx, dy));
    walk.minor = static_cast<uint64_t>(std::min(dx, dy));
    walk.bias = walk.major == 0 ? 0 : walk.major - 1 - walk.major / 2;
    if (walk.major == 0) walk.major = 1;  // one pixel: q(0) = 0

    // Clip the major axis directly, then the minor one through the monotonic q(k).
    int64_t lo, hi;
    if (!axis_range(major_pos, major_sign, major_size, std::max(dx, dy), &lo, &hi)) return;
    const int64_t q_min = minor_sign > 0 ? -minor_pos : minor_pos - (minor_size - 1);
    const int64_t q_max = minor_sign > 0 ? minor_size - 1 - minor_pos : minor_pos;
    const uint64_t first = first_beyond(walk, lo, hi, q_min - 1);
    const uint64_t end = first_beyond(walk, lo, hi, q_max);
    if (first >= end) return;

    uint64_t q = walk.minor_steps(first);
    uint64_t remainder = (first * walk.minor + walk.bias) % walk.major;
    const int64_t x = x_major ? major_pos + major_sign * static_cast<int64_t>(first)
                              : minor_pos + minor_sign * static_cast<int64_t>(q);
    const int64_t y = x_major ? minor_pos + minor_sign * static_cast<int64_t>(q)
                              : major_pos + major_sign * static_cast<int64_t>(first);
    uint8_t* pixel = framebuffer.pixels + y * width + x;
    for (uint64_t k = first;;) {
        *pixel = colour;
        if (++k == end) break;
        pixel += major_stride;
        remainder += walk.minor;
        if (remainder >= walk.major) {
            remainder -= walk.major;
            pixel += minor_stride;
        }
    }
}

Image* create_image_over(uint32_t width, uint32_t height, uint8_t* pixels) {
    auto* image = static_cast<Image*>(std::malloc(sizeof(Image)));
    if (image == nullptr) return nullptr;
    *image = {pixels, 0, 0, 0, width, height};
    return image;
}

Image* create_image(uint32_t width, uint32_t height) {
    const size_t size = static_cast<size_t>(width) * height;
    auto* pixels = static_cast<uint8_t*>(std::malloc(size == 0 ? 1 : size));
    if (pixels == nullptr) return nullptr;
    Image* image = create_image_over(width, height, pixels);
    if (image == nullptr) {
        std::free(pixels);
        return nullptr;
    }
    image->owns = 1;
    return image;
}

void free_image(Image* image) {
    if (image == nullptr) return;
    if (image->owns) std::free(image->pixels);
    std::free(image);
}

void set_image_position(Image* image, uint32_t x, uint32_t y) {
    if (image == nullptr) return;
    image->x = x;
    image->y = y;
}

void blit_image(const Image* image) {
    if (image == nullptr || image->pixels == nullptr || !frame_ready()) return;
    const uint64_t frame_width = static_cast<uint64_t>(framebuffer.width);
    const uint64_t frame_height = static_cast<uint64_t>(framebuffer.height);
    if (image->x >= frame_width || image->y >= frame_height) return;
    const uint64_t columns = std::min<uint64_t>(image->width, frame_width - image->x);
    const uint64_t rows = std::min<uint64_t>(image->height, frame_height - image->y);
    for (uint64_t i = 0; i < rows; ++i) {
        std::memcpy(framebuffer.pixels + (image->y + i) * frame_width + image->x,
                    image->pixels + i * image->width, columns);
    }
}

LineList* create_line_list(uint64_t n, uint32_t colour) {
    auto* list = static_cast<LineList*>(std::malloc(sizeof(LineList)));
    if (list == nullptr) return nullptr;
    auto* lines = static_cast<Line*>(std::calloc(n == 0 ? 1 : n, sizeof(Line)));
    if (lines == nullptr) {
        std::free(list);
        return nullptr;
    }
    *list = {lines, n, colour};
    return list;
}

void free_line_list(LineList* list) {
    if (list == nullptr) return;
    std::free(list->lines);
    std::free(list);
}

void set_line(LineList* list, uint64_t index, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    if (list == nullptr || index >= list->count) return;
    list->lines[index] = {x0, y0, x1, y1, list->colour};
}

void get_line(const LineList* list, uint64_t index, int32_t* x0, int32_t* y0, int32_t* x1,
              int32_t* y1) {
    if (list == nullptr || index >= list->count) return;
    const Line& line = list->lines[index];
    if (x0 != nullptr) *x0 = line.x0;
    if (y0 != nullptr) *y0 = line.y0;
    if (x1 != nullptr) *x1 = line.x1;
    if (y1 != nullptr) *y1 = line.y1;
}

void draw_line_list(const LineList* list, uint64_t n) {
    if (list == nullptr) return;
    const uint64_t count = std::min(n, list->count);
    for (uint64_t i = 0; i < count; ++i) {
        const Line& line = list->lines[i];
        draw_line(line.x0, line.y0, line.x1, line.y1, draw_colour);
    }
}

RectList* create_rect_list(uint64_t n) {
    auto* list = static_cast<RectList*>(std::malloc(sizeof(RectList)));
    if (list == nullptr) return nullptr;
    auto* rects = static_cast<Rect*>(std::calloc(n == 0 ? 1 : n, sizeof(Rect)));
    if (rects == nullptr) {
        std::free(list);
        return nullptr;
    }
    *list = {rects, n};
    return list;
}

void free_rect_list(RectList* list) {
    if (list == nullptr) return;
    std::free(list->rects);
    std::free(list);
}

void set_rect(RectList* list, uint64_t index, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    if (list == nullptr || index >= list->count) return;
    list->rects[index] = {x0, y0, x1, y1};
}

void get_rect(const RectList* list, uint64_t index, int32_t* x0, int32_t* y0, int32_t* x1,
              int32_t* y1) {
    if (list == nullptr || index >= list->count) return;
    const Rect& rect = list->rects[index];
    if (x0 != nullptr) *x0 = rect.x0;
    if (y0 != nullptr) *y0 = rect.y0;
    if (x1 != nullptr) *x1 = rect.x1;
    if (y1 != nullptr) *y1 = rect.y1;
}

void fill_rect_list(const RectList* list, uint64_t n) {
    if (list == nullptr || !frame_ready()) return;
    const uint64_t count = std::min(n, list->count);
    for (uint64_t i = 0; i < count; ++i) {
        const Rect& rect = list->rects[i];
        const int32_t left = std::max(std::min(rect.x0, rect.x1), 0);
        const int32_t right = std::min(std::max(rect.x0, rect.x1), framebuffer.width);
        const int32_t top = std::max(std::min(rect.y0, rect.y1), 0);
        const int32_t bottom = std::min(std::max(rect.y0, rect.y1), framebuffer.height);
        if (left >= right) continue;
        for (int32_t y = top; y < bottom; ++y) {
            std::memset(framebuffer.pixels + static_cast<ptrdiff_t>(y) * framebuffer.width + left,
                        draw_colour, static_cast<size_t>(right - left));
        }
    }
}
