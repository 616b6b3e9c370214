#include "yuv.h"

#include <cmath>
#include <cstddef>
#include <cstdlib>

namespace {

constexpr double kKr = 0.2126;
constexpr double kKb = 0.0722;
constexpr double kKg = 1 - kKr - kKb;

uint8_t to_byte(double v) {
    const double r = std::round(v);
    return static_cast<uint8_t>(r < 0 ? 0 : r > 255 ? 255 : r);
}

}  // namespace

std::array<uint8_t, 3> rgb_from_ycc(Ycc ycc) {
    const double y = (ycc.y - 16) / 219.0;
    const double pb = (ycc.cb - 128) / 224.0;
    const double pr = (ycc.cr - 128) / 224.0;
    const double r = y + 2 * (1 - kKr) * pr;
    const double b = y + 2 * (1 - kKb) * pb;
    const double g = (y - kKr * r - kKb * b) / kKg;
    return {to_byte(255 * r), to_byte(255 * g), to_byte(255 * b)};
}

Ycc ycc_from_rgbx(uint32_t rgbx) {
    const int rgb[3] = {static_cast<int>(rgbx >> 24), static_cast<int>(rgbx >> 16 & 0xFF),
                        static_cast<int>(rgbx >> 8 & 0xFF)};
    const double r = rgb[0] / 255.0;
    const double g = rgb[1] / 255.0;
    const double b = rgb[2] / 255.0;
    const double y = kKr * r + kKg * g + kKb * b;
    const double exact[3] = {16 + 219 * y, 128 + 224 * (b - y) / (2 * (1 - kKb)),
                             128 + 224 * (r - y) / (2 * (1 - kKr))};
    Ycc best{};
    int best_error = 1 << 30;
    // Rounding each component on its own can land one step off in the decode; trying both
    // neighbours of each finds the triple that brings the colour back best.
    for (int pick = 0; pick < 8; ++pick) {
        uint8_t c[3];
        for (int i = 0; i < 3; ++i) {
            const double v = (pick >> i & 1) ? std::ceil(exact[i]) : std::floor(exact[i]);
            c[i] = to_byte(v);
        }
        const Ycc candidate{c[0], c[1], c[2]};
        const std::array<uint8_t, 3> back = rgb_from_ycc(candidate);
        int worst = 0;
        int sum = 0;
        for (int i = 0; i < 3; ++i) {
            const int d = std::abs(back[i] - rgb[i]);
            worst = d > worst ? d : worst;
            sum += d;
        }
        const int error = worst * 16 + sum;  // the largest channel error first, then the total
        if (error < best_error) {
            best_error = error;
            best = candidate;
        }
    }
    return best;
}

std::array<Ycc, 256> ycc_palette(const std::array<uint32_t, 256>& palette) {
    std::array<Ycc, 256> table{};
    for (int i = 0; i < 256; ++i) table[i] = ycc_from_rgbx(palette[i]);
    return table;
}

void frame_to_yuv420(const uint8_t* indices, int32_t width, int32_t height,
                     const std::array<Ycc, 256>& table, uint8_t* y, int32_t y_stride, uint8_t* cb,
                     int32_t cb_stride, uint8_t* cr, int32_t cr_stride) {
    for (int32_t row = 0; row < height; ++row) {
        const uint8_t* src = indices + static_cast<ptrdiff_t>(row) * width;
        uint8_t* top = y + static_cast<ptrdiff_t>(2 * row) * y_stride;
        uint8_t* bottom = top + y_stride;
        uint8_t* u = cb + static_cast<ptrdiff_t>(row) * cb_stride;
        uint8_t* v = cr + static_cast<ptrdiff_t>(row) * cr_stride;
        for (int32_t x = 0; x < width; ++x) {
            const Ycc c = table[src[x]];
            top[2 * x] = top[2 * x + 1] = bottom[2 * x] = bottom[2 * x + 1] = c.y;
            u[x] = c.cb;
            v[x] = c.cr;
        }
    }
}
