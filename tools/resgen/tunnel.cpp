// The tunnel texture: courses of weathered bricks in mortar, tiling in both directions.
#include "resgen.h"

namespace {

constexpr int32_t kSize = 128;
constexpr int32_t kBrickWidth = 32;
constexpr int32_t kBrickHeight = 16;

}  // namespace

void make_tunnel(std::vector<ResourceFile>& out) {
    Image image(kSize, kSize);
    Noise noise{0x1B873593u};
    // Each brick gets its own clay from these ramps, dark to light.
    const std::vector<std::vector<uint8_t>> clays = {
        {184, 112, 4, 12},  // red
        {185, 113, 6, 41},  // red-brown
        {186, 114, 6, 42},  // orange-brown
    };
    const std::vector<uint8_t> mortar = {18, 20, 22, 23};
    std::vector<int32_t> brick_clay, brick_tone;
    for (int32_t i = 0; i < (kSize / kBrickWidth) * (kSize / kBrickHeight); ++i) {
        brick_clay.push_back(static_cast<int32_t>(noise.next() % clays.size()));
        brick_tone.push_back(noise.signed_value(80));
    }
    for (int32_t y = 0; y < kSize; ++y) {
        int32_t course = y / kBrickHeight;
        int32_t by = y % kBrickHeight;
        int32_t shift = (course & 1) * (kBrickWidth / 2);
        for (int32_t x = 0; x < kSize; ++x) {
            int32_t sx = (x + shift) % kSize;
            int32_t column = sx / kBrickWidth;
            int32_t bx = sx % kBrickWidth;
            int32_t grain = noise.signed_value(40);
            if (by < 2 || bx < 2) {
                image.at(x, y) = dither_ramp(mortar, 380 + grain * 2, x, y);
                continue;
            }
            size_t brick = static_cast<size_t>(course * (kSize / kBrickWidth) + column);
            int32_t shade = 430 + brick_tone[brick] + grain;
            if (by == 2 || bx == 2) shade += 150;  // lit upper-left edge
            if (by == kBrickHeight - 1 || bx == kBrickWidth - 1) shade -= 160;  // shadowed edge
            image.at(x, y) =
                dither_ramp(clays[static_cast<size_t>(brick_clay[brick])], shade, x, y);
        }
    }
    out.push_back({"tunnel.pcx", encode_pcx(image)});
}
