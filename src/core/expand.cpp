#include "core/expand.h"

#include <bit>
#include <cstddef>
#include <cstring>

#include "core/framebuffer.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#elif defined(__wasm_simd128__)
#include <wasm_simd128.h>
#endif

namespace {

uint32_t place_channel(uint32_t value, uint32_t mask) {
    if (mask == 0) return 0;
    const int shift = std::countr_zero(mask);
    const int bits = std::popcount(mask);
    const uint32_t scaled = bits >= 8 ? value << (bits - 8) : value >> (8 - bits);
    return (scaled << shift) & mask;
}

}  // namespace

void make_surface_palette(uint32_t rmask, uint32_t gmask, uint32_t bmask, uint32_t amask,
                          SurfacePalette* out) {
    for (int i = 0; i < 256; ++i) {
        const uint32_t c = palette[i];  // 0xRRGGBB00
        const uint32_t pixel = place_channel(c >> 24, rmask) |
                               place_channel((c >> 16) & 0xFF, gmask) |
                               place_channel((c >> 8) & 0xFF, bmask) | amask;
        out->pairs[i] = uint64_t{pixel} * 0x100000001ull;
    }
}

const SurfacePalette& rgbx_surface_palette() {
    static const SurfacePalette colours = [] {
        SurfacePalette c;
        make_surface_palette(0xFF000000, 0x00FF0000, 0x0000FF00, 0, &c);
        return c;
    }();
    return colours;
}

void expand_frame(const SurfacePalette& colours, const uint8_t* src, int32_t width, int32_t height,
                  uint32_t* dst, int32_t dst_pitch) {
    const uint64_t* pairs = colours.pairs.data();
    auto* base = reinterpret_cast<uint8_t*>(dst);
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* top = base + static_cast<ptrdiff_t>(2 * y) * dst_pitch;
        uint8_t* bottom = top + dst_pitch;
        const uint8_t* row = src + static_cast<ptrdiff_t>(y) * width;
        int32_t x = 0;
#if defined(__SSE2__)
        // Four indices per load and two destination pixels per lookup; each 16-byte store
        // covers two source pixels and goes to both rows, so nothing is read back.
        const auto pair_of = [pairs](uint32_t index) {
            return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&pairs[index]));
        };
        for (; x + 4 <= width; x += 4) {
            uint32_t four;
            std::memcpy(&four, row + x, 4);
            const __m128i a = _mm_unpacklo_epi64(pair_of(four & 0xFF), pair_of((four >> 8) & 0xFF));
            const __m128i b = _mm_unpacklo_epi64(pair_of((four >> 16) & 0xFF), pair_of(four >> 24));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(top + 8 * x), a);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(top + 8 * x + 16), b);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(bottom + 8 * x), a);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(bottom + 8 * x + 16), b);
        }
#elif defined(__wasm_simd128__)
        // Two source pixels per 16-byte store, each store going to both rows.
        for (; x + 2 <= width; x += 2) {
            const v128_t two = wasm_i64x2_make(static_cast<int64_t>(pairs[row[x]]),
                                               static_cast<int64_t>(pairs[row[x + 1]]));
            wasm_v128_store(top + 8 * x, two);
            wasm_v128_store(bottom + 8 * x, two);
        }
#endif
        for (; x < width; ++x) {
            std::memcpy(top + 8 * x, &pairs[row[x]], 8);
            std::memcpy(bottom + 8 * x, &pairs[row[x]], 8);
        }
    }
}
