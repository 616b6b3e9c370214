// 2D primitives that write palette indices straight into the framebuffer, with no depth test:
// Bresenham lines, image blits and lists of lines and rectangles. They address the frame with
// the framebuffer's current width and height, and clip to it: pixels outside are dropped.
#pragma once

#include <cstdint>

// Plots the line from (x0, y0) to (x1, y1), both ends included, max(|dx|, |dy|) + 1 pixels of
// which only those inside the frame are written. The pixels inside are the same whatever
// part lies outside.
void draw_line(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint8_t colour);

struct Image {
    uint8_t* pixels;  // width x height palette indices, row after row
    uint8_t owns;     // 1 when free_image frees pixels
    uint32_t x, y;    // frame position of the top-left pixel
    uint32_t width, height;
};

// A new Image over the caller's pixels at (0, 0), not owning them; null if allocation fails.
Image* create_image_over(uint32_t width, uint32_t height, uint8_t* pixels);
// A new Image owning width x height uncleared pixels; null (nothing kept) if allocation fails.
Image* create_image(uint32_t width, uint32_t height);
void free_image(Image* image);
void set_image_position(Image* image, uint32_t x, uint32_t y);
// Copies every pixel (index 0 included) to the frame at the image's position.
void blit_image(const Image* image);

struct Line {
    int32_t x0, y0, x1, y1;
    uint32_t colour;
};

struct LineList {
    Line* lines;
    uint64_t count;
    uint32_t colour;  // copied into each line set_line writes; drawing uses draw_colour
};

// n zeroed lines; null (nothing kept) if an allocation fails.
LineList* create_line_list(uint64_t n, uint32_t colour);
void free_line_list(LineList* list);
// Set and get ignore a null list and an index at or beyond count.
void set_line(LineList* list, uint64_t index, int32_t x0, int32_t y0, int32_t x1, int32_t y1);
void get_line(const LineList* list, uint64_t index, int32_t* x0, int32_t* y0, int32_t* x1,
              int32_t* y1);
// Draws lines 0 .. min(n, count) - 1 in draw_colour.
void draw_line_list(const LineList* list, uint64_t n);

struct Rect {
    int32_t x0, y0, x1, y1;
};

struct RectList {
    Rect* rects;
    uint64_t count;
};

// n zeroed rectangles; null (nothing kept) if an allocation fails.
RectList* create_rect_list(uint64_t n);
void free_rect_list(RectList* list);
void set_rect(RectList* list, uint64_t index, int32_t x0, int32_t y0, int32_t x1, int32_t y1);
// Writes each value whose output is not null.
void get_rect(const RectList* list, uint64_t index, int32_t* x0, int32_t* y0, int32_t* x1,
              int32_t* y1);
// Fills rectangles 0 .. min(n, count) - 1 in draw_colour: the columns from min(x0, x1) up to
// but not including max(x0, x1), and the rows likewise, so an empty extent fills nothing.
void fill_rect_list(const RectList* list, uint64_t n);
