// Builds the text of an OBJ file: positions in whole view units divided by the load scale,
// texture coordinates aimed at the centres of whole texels.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>

class ObjWriter {
   public:
    // scale_shift: the model is loaded with scale 1 << scale_shift; positions are given in
    // loaded units, so they come back from the loader as exactly these whole numbers.
    ObjWriter(const std::string& header, const std::string& mtl_name, int scale_shift,
              int32_t texture_width, int32_t texture_height);

    int32_t vertex(int32_t x, int32_t y, int32_t z);
    // The texture coordinate that the loader turns into texel (column, row), both inside.
    int32_t texcoord(int32_t column, int32_t row);
    void face(int32_t v0, int32_t t0, int32_t v1, int32_t t1, int32_t v2, int32_t t2);

    int32_t triangle_count() const { return triangles_; }
    std::string text() const { return head_ + vertices_ + texcoords_ + faces_; }

   private:
    int scale_shift_;
    int32_t width_, height_;
    int width_shift_, height_shift_;
    int32_t vertex_count_ = 0, texcoord_count_ = 0, triangles_ = 0;
    std::map<std::pair<int32_t, int32_t>, int32_t> texcoord_index_;
    std::string head_, vertices_, texcoords_, faces_;
};
