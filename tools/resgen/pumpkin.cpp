// The pumpkin: a squashed, eight-lobed body of revolution whose top dips into a dimple from
// which a ridged, slightly bent stem rises, all one closed grid of rings. Positions are whole
// view units (the model is loaded at scale 64); the texture carries the shading, a carved
// face and the stem's colours.
#include <array>
#include <cstdlib>
#include <vector>

#include "obj_writer.h"
#include "resgen.h"

namespace {

constexpr int32_t kSegments = 48;  // around; 6 per lobe, grooves on segment 3 of each lobe
constexpr int32_t kLobes = 8;
constexpr int32_t kBodyRings = 19;  // body rings 1..19 at 9-degree steps from the bottom
constexpr int32_t kTexWidth = 256;
constexpr int32_t kTexHeight = 128;

// Body: radius and half height in view units, groove depth, dimples, as 16.16 where noted.
constexpr int32_t kBodyRadius = 64;
constexpr int32_t kBodyHalfHeight = 46;
constexpr int32_t kGrooveDepth = 5900;  // 0.09: a groove is 9% narrower than a lobe's crown
constexpr int32_t kTopDimple = 16;
constexpr int32_t kBottomDimple = 9;

// Texture rows: the body from row 6 (ring 19, top) to row 101 (bottom pole), 5 rows per
// ring; rows 0..5 the dark dimple; the stem from row 104 up to its tip at row 127.
constexpr int32_t kFaceColumn = 191;  // the lobe that faces the viewer before it turns
constexpr int32_t kEquatorRow = 51;
int32_t body_row(int32_t ring) {
    return 101 - 5 * ring;
}
constexpr int32_t kDimpleRow = 1;
constexpr int32_t kStemRows[] = {106, 109, 112, 115, 118, 121};
constexpr int32_t kCapRow = 124;
constexpr int32_t kTipRow = 127;

int32_t column_of(int32_t segment) {
    return segment * (kTexWidth - 1) / kSegments;
}
int32_t theta_of(int32_t segment) {
    return segment * 2880 / kSegments;
}

int64_t power16(int64_t base, int n) {
    int64_t result = 65536;
    for (int i = 0; i < n; ++i) result = (result * base) >> 16;
    return result;
}

int32_t isqrt(int64_t value) {
    int64_t root = 0;
    for (int64_t bit = int64_t{1} << 40; bit > 0; bit >>= 2) {
        if (value >= root + bit) {
            value -= root + bit;
            root = (root >> 1) + bit;
        } else {
            root >>= 1;
        }
    }
    return static_cast<int32_t>(root);
}

// 1.0 on a lobe's crown, 0 in a groove (16.16).
int32_t lobe_crown(int32_t theta) {
    return std::abs(cos16(kLobes / 2 * theta));
}

struct Point {
    int32_t x, y, z;
};

// A ring of kSegments points; the grid closes around (segment kSegments is segment 0).
using Ring = std::array<Point, kSegments>;

Ring body_ring(int32_t ring) {
    int32_t phi = 72 * ring;  // 9 degrees per ring, from the bottom pole
    int64_t s = sin16(phi), c = cos16(phi);
    int64_t radius = kBodyRadius * s;  // 16.16
    int64_t y = -kBodyHalfHeight * c;
    if (c > 0) y += kBottomDimple * power16(c, 16);
    if (c < 0) y -= kTopDimple * power16(-c, 12);
    Ring out{};
    for (int32_t j = 0; j < kSegments; ++j) {
        int32_t theta = theta_of(j);
        int64_t rib = 65536 - ((kGrooveDepth * int64_t{65536 - lobe_crown(theta)}) >> 16);
        int64_t r = (radius * rib) >> 16;
        out[j] = {round_fixed((r * cos16(theta)) >> 16), round_fixed(y),
                  round_fixed((r * sin16(theta)) >> 16)};
    }
    return out;
}

// A stem ring at height y (whole units), radius and bend in 16.16, with six ridges.
Ring stem_ring(int32_t y, int64_t radius, int64_t bend) {
    Ring out{};
    for (int32_t j = 0; j < kSegments; ++j) {
        int32_t theta = theta_of(j);
        int64_t ridge = 65536 - ((13000 * int64_t{65536 - std::abs(cos16(3 * theta))}) >> 16);
        int64_t r = (radius * ridge) >> 16;
        out[j] = {round_fixed(bend + ((r * cos16(theta)) >> 16)), y,
                  round_fixed(((r * sin16(theta)) >> 16) - bend / 3)};
    }
    return out;
}

std::string pumpkin_obj(int32_t* triangles) {
    ObjWriter obj(
        "# A pumpkin: eight lobes, a dimpled top and a stem, one texture.\n"
        "# Made by tools/resgen; load with scale 64.\n",
        "pumpkin.mtl", 6, kTexWidth, kTexHeight);

    std::vector<std::array<int32_t, kSegments>> rings;  // vertex numbers per ring
    auto add_ring = [&](const Ring& ring) {
        std::array<int32_t, kSegments> numbers{};
        for (int32_t j = 0; j < kSegments; ++j) {
            numbers[j] = obj.vertex(ring[j].x, ring[j].y, ring[j].z);
        }
        rings.push_back(numbers);
    };
    int32_t bottom = obj.vertex(0, -kBodyHalfHeight + kBottomDimple, 0);
    for (int32_t i = 1; i <= kBodyRings; ++i) add_ring(body_ring(i));
    constexpr int kStemRings = 6;
    for (int k = 0; k < kStemRings; ++k) {
        int64_t t = 65536 * k / (kStemRings - 1);
        add_ring(stem_ring(31 + 7 * k, 557056 - ((111411 * t) >> 16), (7 * t * t) >> 16));
    }
    add_ring(stem_ring(68, 294912, 8 << 16));
    int32_t tip = obj.vertex(8, 69, -3);

    // Texture rows of each ring as seen from the band below and from the band above it.
    std::vector<int32_t> row_below, row_above;
    for (int32_t i = 1; i <= kBodyRings; ++i) {
        row_below.push_back(body_row(i));
        row_above.push_back(body_row(i));
    }
    // The band from the last body ring into the stem's foot is the shadowed dimple.
    row_above.back() = kDimpleRow + 4;
    for (int32_t row : kStemRows) {
        row_below.push_back(row);
        row_above.push_back(row);
    }
    row_below[kBodyRings] = kDimpleRow;
    row_below.push_back(kCapRow);
    row_above.push_back(kCapRow);

    auto fan = [&](int32_t pole, int32_t pole_row, size_t ring, int32_t ring_row, bool up) {
        for (int32_t j = 0; j < kSegments; ++j) {
            int32_t next = (j + 1) % kSegments;
            int32_t mid = (column_of(j) + column_of(j + 1)) / 2;
            int32_t tp = obj.texcoord(mid, pole_row);
            int32_t t0 = obj.texcoord(column_of(j), ring_row);
            int32_t t1 = obj.texcoord(column_of(j + 1), ring_row);
            if (up) {
                obj.face(pole, tp, rings[ring][j], t0, rings[ring][next], t1);
            } else {
                obj.face(pole, tp, rings[ring][next], t1, rings[ring][j], t0);
            }
        }
    };
    fan(bottom, body_row(0), 0, row_below[0], false);
    for (size_t a = 0; a + 1 < rings.size(); ++a) {
        size_t b = a + 1;
        for (int32_t j = 0; j < kSegments; ++j) {
            int32_t next = (j + 1) % kSegments;
            int32_t ta0 = obj.texcoord(column_of(j), row_above[a]);
            int32_t ta1 = obj.texcoord(column_of(j + 1), row_above[a]);
            int32_t tb0 = obj.texcoord(column_of(j), row_below[b]);
            int32_t tb1 = obj.texcoord(column_of(j + 1), row_below[b]);
            obj.face(rings[a][j], ta0, rings[a][next], ta1, rings[b][next], tb1);
            obj.face(rings[a][j], ta0, rings[b][next], tb1, rings[b][j], tb0);
        }
    }
    fan(tip, kTipRow, rings.size() - 1, kCapRow, true);
    *triangles = obj.triangle_count();
    return obj.text();
}

// The carved face, in texels from the face centre (dy grows downwards).
bool carved(int32_t dx, int32_t dy) {
    for (int32_t eye : {-21, 21}) {
        int32_t ex = std::abs(dx - eye);
        if (dy >= -27 && dy <= -9 && ex * 18 <= 13 * (dy + 27)) return true;
    }
    if (dy >= -7 && dy <= 1 && std::abs(dx) * 8 <= 6 * (dy + 7)) return true;
    if (std::abs(dx) > 46) return false;
    int32_t curve = dx * dx;
    int32_t top = 10 - 8 * curve / (46 * 46);
    int32_t bottom = 26 - 20 * curve / (46 * 46);
    if (dy < top || dy > bottom) return false;
    int32_t ax = std::abs(dx);
    if (ax >= 12 && ax <= 20 && dy < top + 6) return false;  // upper teeth
    if (ax <= 5 && dy > bottom - 7) return false;            // lower tooth
    return true;
}

Image pumpkin_texture() {
    Image image(kTexWidth, kTexHeight);
    Noise noise{0x9E3779B9u};
    const std::vector<uint8_t> skin = {186, 114, 6, 42, 43};  // very dark brown .. amber
    const std::vector<uint8_t> dimple = {186, 114, 6};
    const std::vector<uint8_t> stem = {189, 115, 117, 141};  // dark olive .. pale olive
    const std::vector<uint8_t> cap = {115, 139, 163};        // the cut end of the stem
    for (int32_t y = 0; y < kTexHeight; ++y) {
        for (int32_t x = 0; x < kTexWidth; ++x) {
            int32_t theta = x * 2880 / (kTexWidth - 1);
            int32_t grain = noise.signed_value(28);
            uint8_t& texel = image.at(x, y);
            if (y < 104) {
                int32_t phi = (101 - y) * 72 / 5;
                if (phi < 0) phi = 0;
                int32_t crown = isqrt(int64_t{lobe_crown(theta)} << 16);  // rounder lobes
                int32_t latitude = 36000 + ((sin16(phi) * int64_t{29536}) >> 16);
                int32_t shade = static_cast<int32_t>(
                    ((100 + ((700 * int64_t{crown}) >> 16)) * int64_t{latitude}) >> 16);
                // A gloss streak along the upper part of each crown.
                if (phi > 1000 && phi < 1200 && crown > 58000) shade += 90;
                if (y < 6 || y > 97) {
                    // The dimple round the stem and the blossom scar underneath.
                    texel = dither_ramp(dimple, 140 + grain * 3 + (crown >> 10), x, y);
                    continue;
                }
                texel = dither_ramp(skin, shade + grain, x, y);
                int32_t dx = x - kFaceColumn, dy = y - kEquatorRow;
                if (std::abs(dx) < 50 && std::abs(dy) < 30) {
                    if (carved(dx, dy)) {
                        bool deep = carved(dx - 1, dy) && carved(dx + 1, dy) &&
                                    carved(dx, dy - 1) && carved(dx, dy + 1);
                        texel = deep ? 44 : 43;  // candle light, brightest inside
                    } else if (carved(dx - 1, dy) || carved(dx + 1, dy) || carved(dx, dy - 1) ||
                               carved(dx, dy + 1)) {
                        texel = 114;  // the cut wall
                    }
                }
            } else if (y < 122) {
                int32_t ridge = std::abs(cos16(3 * theta));
                int32_t shade = 180 + ((480 * int64_t{ridge}) >> 16) + grain * 2;
                if (y < 108) shade -= 120;  // shadow where it leaves the dimple
                texel = dither_ramp(stem, shade, x, y);
            } else {
                texel = dither_ramp(cap, 260 + grain * 3 + (y - 122) * 20, x, y);
            }
        }
    }
    return image;
}

std::vector<uint8_t> text_bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

}  // namespace

void make_pumpkin(std::vector<ResourceFile>& out) {
    int32_t triangles = 0;
    out.push_back({"pumpkin.obj", text_bytes(pumpkin_obj(&triangles))});
    out.push_back({"pumpkin.mtl", text_bytes("# Made by tools/resgen.\n"
                                             "newmtl pumpkin\n"
                                             "Kd 1.0 1.0 1.0\n"
                                             "map_Kd pumpkin.pcx\n")});
    out.push_back({"pumpkin.pcx", encode_pcx(pumpkin_texture())});
}
