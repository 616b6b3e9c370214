// Perspective projection and the scan-line triangle fillers with their depth test.
//
// Screen space: x to the right, y downwards, (0, 0) the top-left pixel. View space: z into the
// screen, larger is farther. Both fillers write into the 400 x 240 frame and depth buffer;
// columns 0..398 and rows 0..238 are the only ones a triangle ever reaches, since spans and
// edges exclude their right and bottom ends and the frame's last column and row are those ends.
#pragma once

#include <array>
#include <cstdint>

#include "core/framebuffer.h"
#include "render/geometry.h"

inline constexpr int32_t FOCAL_LENGTH = 150;
inline constexpr int32_t SCREEN_CENTRE_X = FRAME_WIDTH / 2;
inline constexpr int32_t SCREEN_CENTRE_Y = FRAME_HEIGHT / 2;

inline constexpr int32_t RASTER_WIDTH = FRAME_WIDTH;  // the depth buffer's size and the clip
inline constexpr int32_t RASTER_HEIGHT = FRAME_HEIGHT;
inline constexpr uint16_t DEPTH_EMPTY = 0xFFFF;

// One entry per frame pixel, index y * 400 + x: the integer part of the view-space z of the
// pixel last written there, as an unsigned 16-bit value. Smaller is nearer; DEPTH_EMPTY is
// empty. Valid from clear_depth until the end of the frame's drawing.
extern std::array<uint16_t, RASTER_WIDTH * RASTER_HEIGHT> depth_buffer;

void clear_depth();

// Projects a vertex's view position: screen = trunc(150 * view / z) + centre, where a depth
// below 1.0 (zero and negative included) counts as exactly 1.0. Stamps the vertex with
// frame_count.
void project_vertex(Vertex* vertex);

// Projects the three corners (whatever their stamps) and sets nearest_depth to the smallest
// view_z. A triangle with a null corner is left alone.
void project_triangle(Triangle* triangle);

// Both fillers read the corners' screen_x, screen_y and view_z (projected this frame), keep a
// pixel only if its depth is strictly nearer than the buffer's, and store the number of
// pixels written in pixel_count. A triangle whose corners span no row after clipping
// (ymin == ymax) returns at once and keeps its count. Null triangles and triangles with a
// null corner are ignored.
void draw_flat_triangle(Triangle* triangle);

// Affine texture mapping from the corners' texcoords; pixels at depth 0 or nearer are not
// drawn. Texel reads are clamped to the texture. A triangle without a usable texture (null,
// no pixels, zero size) or missing a texcoord is drawn flat in its flat_colour instead.
void draw_textured_triangle(Triangle* triangle);
