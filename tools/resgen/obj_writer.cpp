#include "obj_writer.h"

#include <stdexcept>

#include "resgen.h"

namespace {

int log2_exact(int32_t value) {
    int shift = 0;
    while ((int32_t{1} << shift) < value) ++shift;
    if ((int32_t{1} << shift) != value) throw std::invalid_argument("texture size not 2^n");
    return shift;
}

}  // namespace

ObjWriter::ObjWriter(const std::string& header, const std::string& mtl_name, int scale_shift,
                     int32_t texture_width, int32_t texture_height)
    : scale_shift_(scale_shift),
      width_(texture_width),
      height_(texture_height),
      width_shift_(log2_exact(texture_width)),
      height_shift_(log2_exact(texture_height)) {
    head_ = header + "mtllib " + mtl_name + "\n";
}

int32_t ObjWriter::vertex(int32_t x, int32_t y, int32_t z) {
    vertices_ += "v " + binary_fraction_text(x, scale_shift_) + " " +
                 binary_fraction_text(y, scale_shift_) + " " +
                 binary_fraction_text(z, scale_shift_) + "\n";
    return ++vertex_count_;
}

int32_t ObjWriter::texcoord(int32_t column, int32_t row) {
    if (column < 0 || column >= width_ || row < 0 || row >= height_) {
        throw std::out_of_range("texel outside the texture");
    }
    auto key = std::make_pair(column, row);
    auto found = texcoord_index_.find(key);
    if (found != texcoord_index_.end()) return found->second;
    // The loader takes column = floor(u w) and row = h - floor(v h). Aim u at the texel's
    // centre; v = (h - row + 1/2) / h, except for row 0, whose v is exactly 1.
    std::string u = binary_fraction_text(2 * column + 1, width_shift_ + 1);
    std::string v = row == 0 ? std::string("1")
                             : binary_fraction_text(2 * (height_ - row) + 1, height_shift_ + 1);
    texcoords_ += "vt " + u + " " + v + "\n";
    texcoord_index_[key] = ++texcoord_count_;
    return texcoord_count_;
}

void ObjWriter::face(int32_t v0, int32_t t0, int32_t v1, int32_t t1, int32_t v2, int32_t t2) {
    faces_ += "f " + std::to_string(v0) + "/" + std::to_string(t0) + " " + std::to_string(v1) +
              "/" + std::to_string(t1) + " " + std::to_string(v2) + "/" + std::to_string(t2) + "\n";
    ++triangles_;
}
