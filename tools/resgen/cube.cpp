// The intro's cube: 56 units on an edge (loaded at scale 1), each face a 4 x 4 grid so that
// the affine texturing bends little, every face showing the same framed panel.
#include <array>
#include <cstdlib>
#include <map>
#include <tuple>

#include "obj_writer.h"
#include "resgen.h"

namespace {

constexpr int32_t kHalfEdge = 28;
constexpr int32_t kCells = 4;
constexpr int32_t kTexSize = 64;

struct Axis {
    int32_t x, y, z;
};

struct CubeFace {
    Axis origin;  // the corner shown top left, seen from outside
    Axis right;   // unit step to the right on the texture
    Axis down;    // unit step downwards on the texture
};

// Seen from outside with the model's y up; the turn about Y brings the side faces round in
// the order front, right, back, left.
constexpr std::array<CubeFace, 6> kFaces = {{
    {{-28, 28, -28}, {1, 0, 0}, {0, -1, 0}},  // front, facing the viewer
    {{28, 28, -28}, {0, 0, 1}, {0, -1, 0}},   // right
    {{28, 28, 28}, {-1, 0, 0}, {0, -1, 0}},   // back
    {{-28, 28, 28}, {0, 0, -1}, {0, -1, 0}},  // left
    {{-28, 28, 28}, {1, 0, 0}, {0, 0, -1}},   // top
    {{-28, -28, -28}, {1, 0, 0}, {0, 0, 1}},  // bottom
}};

int32_t texel_of(int32_t grid) {
    return grid == kCells ? kTexSize - 1 : grid * kTexSize / kCells;
}

std::string cube_obj() {
    ObjWriter obj(
        "# A cube with a framed panel on every face.\n"
        "# Made by tools/resgen; load with scale 1.\n",
        "cube.mtl", 0, kTexSize, kTexSize);
    std::map<std::tuple<int32_t, int32_t, int32_t>, int32_t> shared;  // corners on edges
    constexpr int32_t step = 2 * kHalfEdge / kCells;
    for (const CubeFace& face : kFaces) {
        std::array<std::array<int32_t, kCells + 1>, kCells + 1> number{};
        for (int32_t row = 0; row <= kCells; ++row) {
            for (int32_t col = 0; col <= kCells; ++col) {
                int32_t x = face.origin.x + step * (col * face.right.x + row * face.down.x);
                int32_t y = face.origin.y + step * (col * face.right.y + row * face.down.y);
                int32_t z = face.origin.z + step * (col * face.right.z + row * face.down.z);
                auto key = std::make_tuple(x, y, z);
                auto found = shared.find(key);
                if (found == shared.end()) found = shared.emplace(key, obj.vertex(x, y, z)).first;
                number[row][col] = found->second;
            }
        }
        for (int32_t row = 0; row < kCells; ++row) {
            for (int32_t col = 0; col < kCells; ++col) {
                int32_t t00 = obj.texcoord(texel_of(col), texel_of(row));
                int32_t t01 = obj.texcoord(texel_of(col + 1), texel_of(row));
                int32_t t10 = obj.texcoord(texel_of(col), texel_of(row + 1));
                int32_t t11 = obj.texcoord(texel_of(col + 1), texel_of(row + 1));
                obj.face(number[row][col], t00, number[row][col + 1], t01, number[row + 1][col + 1],
                         t11);
                obj.face(number[row][col], t00, number[row + 1][col + 1], t11, number[row + 1][col],
                         t10);
            }
        }
    }
    return obj.text();
}

// A bevelled grey frame with rivets round a dusk-purple panel that holds a small
// jack-o'-lantern.
Image cube_texture() {
    Image image(kTexSize, kTexSize);
    Noise noise{0x2545F491u};
    const std::vector<uint8_t> panel = {16, 180, 108};  // black, deep purple, purple
    const std::vector<uint8_t> skin = {114, 6, 42, 43};
    constexpr int32_t last = kTexSize - 1;
    for (int32_t y = 0; y < kTexSize; ++y) {
        for (int32_t x = 0; x < kTexSize; ++x) {
            int32_t edge = std::min(std::min(x, y), std::min(last - x, last - y));
            int32_t grain = noise.signed_value(20);
            uint8_t& texel = image.at(x, y);
            if (edge < 6) {
                bool lit = (y == edge && x <= last - y) || (x == edge && y <= last - x);
                bool shaded = (y == last - edge) || (x == last - edge);
                texel = edge == 0 ? 16 : lit ? 28 : shaded ? 19 : 24;
                continue;
            }
            if (edge == 6) {
                texel = 16;
                continue;
            }
            int32_t shade = 200 + (y - 7) * 6 + grain;
            texel = dither_ramp(panel, shade, x, y);
            int32_t dx = x - 32, dy = y - 35;
            int32_t ellipse = dx * dx * 256 / (17 * 17) + dy * dy * 256 / (14 * 14);
            if (ellipse <= 256) {
                int32_t lobe = std::abs(cos16(dx * 2880 / 11));  // four ribs across
                texel = dither_ramp(skin, 260 + ((440 * int64_t{lobe}) >> 16) - ellipse / 2 + grain,
                                    x, y);
                bool eye = dy >= -8 && dy <= -3 && std::abs(std::abs(dx) - 6) * 5 <= (dy + 8) * 3;
                // A grin: between two curves that rise towards the corners.
                bool mouth =
                    std::abs(dx) <= 9 && dy * 20 >= 80 - dx * dx && dy * 12 <= 96 - dx * dx;
                if (eye || mouth) texel = 44;
            }
            if (dy >= -20 && dy <= -14 && dx >= -1 && dx <= 1 + (dy + 20) / 3) texel = 117;
        }
    }
    // Rivets in the frame's corners.
    for (int32_t cy : {2, last - 3}) {
        for (int32_t cx : {2, last - 3}) {
            image.at(cx, cy) = 31;
            image.at(cx + 1, cy) = 29;
            image.at(cx, cy + 1) = 29;
            image.at(cx + 1, cy + 1) = 20;
        }
    }
    return image;
}

std::vector<uint8_t> text_bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

}  // namespace

void make_cube(std::vector<ResourceFile>& out) {
    out.push_back({"cube.obj", text_bytes(cube_obj())});
    out.push_back({"cube.mtl", text_bytes("# Made by tools/resgen.\n"
                                          "newmtl panel\n"
                                          "Kd 1.0 1.0 1.0\n"
                                          "map_Kd cube.pcx\n")});
    out.push_back({"cube.pcx", encode_pcx(cube_texture())});
}
