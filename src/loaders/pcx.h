// A streaming reader for run-length encoded PCX images, turning a file into one palette index
// per pixel, and the tunnel texture loaded from res/tunnel.pcx at start-up.
//
// Accepted layouts: one plane of 1, 2, 4 or 8 bits per pixel, or 1 to 8 planes of 1 bit (plane
// p gives bit p of the index). Everything else is refused when the file is opened.
#pragma once

#include <cstdint>

#include "loaders/input.h"
#include "render/geometry.h"

// Largest width and height accepted; larger headers are refused before anything is allocated.
inline constexpr int32_t PCX_MAX_SIDE = 16384;
inline constexpr int PCX_HEADER_SIZE = 128;

struct PcxImage {
    InputFile* input;  // the open file; null once closed
    int32_t bits_per_pixel;
    int32_t planes;
    bool valid;  // the header has been accepted
    // The header's 16-colour map (first 48 bytes) after opening; the file's 256-colour palette
    // after decoding when the file carries a complete one.
    uint8_t palette[768];
    int32_t width;
    int32_t height;
    uint8_t* pixels;  // width x height indices, top row first; zero-filled at open
    // Encoded bytes per line and plane: the header's bytes-per-line where that covers the
    // width, else the length the width needs. Bytes past the width are padding.
    int32_t line_bytes;
    // Decoded bytes of image data (line_bytes per line and plane) when decoding ended.
    int64_t decoded_bytes;
};

// The texture made from res/tunnel.pcx; null until load_tunnel_texture succeeds.
extern Texture* tunnel_texture;

// Opens the file and checks its header; the file is left at the start of the image data.
// Null (nothing left open or allocated, the reason noted for load_failure) when the file
// cannot be opened or read, is shorter than its header, is not run-length PCX, has an
// unaccepted layout, has a width or height outside 1..PCX_MAX_SIDE, or the pixel buffer
// cannot be allocated.
PcxImage* pcx_open(const char* path);
// Decodes the image data into `pixels`, then reads the trailing palette if one is there.
// 0 on success; -1 for an image that is not valid or whose file is closed, and when the file
// ends (or a read fails) before the image data does: the pixels decoded so far stay in
// `pixels`, and `decoded_bytes` says how far it got.
int pcx_decode(PcxImage* image);
// Ors the pixels that the decoded byte `value` covers into `pixels`: byte `line_byte` of line
// `row` in plane `plane`. Pixels past the width are dropped. pcx_decode does the same a run
// at a time; this byte-at-a-time form is the plain statement it is tested against.
void pcx_put_byte(PcxImage* image, uint8_t value, int32_t row, int32_t line_byte, int32_t plane);
// Closes the file. 0 for a null image or on success; -1 when the image is not valid or its
// file is already closed. Releases no memory.
int pcx_close(PcxImage* image);
// Releases the record, closing its file if still open, and its pixel buffer unless a caller
// has taken it over (set `pixels` to null). Null is ignored.
void pcx_free(PcxImage* image);

// Opens, decodes and closes the PCX file at `path` and hands its pixels to a new Texture.
// Null when the image is refused or cannot be decoded, with the reason noted for
// load_failure; nothing is left allocated then.
Texture* pcx_load_texture(const char* path);
// Releases a Texture made by the loaders and its pixels. Null is ignored.
void free_texture(Texture* texture);

// Loads res/tunnel.pcx into `tunnel_texture`: 0 on success; on failure notes the reason for
// load_failure (the caller says it, once), leaves `tunnel_texture` null and returns -1.
int load_tunnel_texture();
