// render: geometry records, projection and rasteriser, lines and the scene graph.
//
// The geometry records the loaders fill and the renderer reads. They carry no behaviour.
// The view and screen fields of a Vertex and the nearest_depth of a Triangle are a per-frame
// cache, valid for the frame whose frame_count equals the vertex's stamp.
#pragma once

#include <cstdint>

#include "math/fixed.h"

struct Vertex {
    Fixed model_x, model_y, model_z;  // only the integer parts are transformed
    Fixed view_x, view_y, view_z;     // view space; view_z is the depth, larger is farther
    int32_t screen_x, screen_y;       // projected pixel position
    uint32_t stamp;                   // frame_count when view and screen were computed; 0 fresh
    uint8_t colour;
};

// Whole texels of the triangle's texture: u the column, v the row from the first stored row.
struct TexCoord {
    int32_t u, v;
};

struct Texture {
    uint8_t* pixels;  // width x height palette indices, row after row
    uint32_t width;
    uint32_t height;
};

inline constexpr int32_t PIXEL_COUNT_UNDRAWN = 0x7FFFFFFF;

struct Triangle {
    Vertex* vertices[3];
    TexCoord* texcoords[3];  // null where the face gave none
    Texture* texture;        // null for flat triangles
    int32_t pixel_count;     // pixels written by the last rasterisation; negative forces flat
    uint8_t flat_colour;
    Fixed nearest_depth;  // smallest view_z of the corners, set every frame
};

// The draw pass reorders `triangles` in place; the order persists between frames.
struct Mesh {
    Triangle** triangles;
    int32_t count;
};
