#include "loaders/pcx.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>

Texture* tunnel_texture = nullptr;

namespace {

constexpr const char* TUNNEL_PATH = "res/tunnel.pcx";
constexpr uint8_t PCX_MANUFACTURER = 10;
constexpr uint8_t PCX_RLE = 1;
constexpr int RUN_FLAG = 0xC0;  // a byte with both top bits set starts a run
constexpr int RUN_LENGTH_MASK = 0x3F;

int32_t read_s16(const uint8_t* bytes) {
    return static_cast<int16_t>(bytes[0] | bytes[1] << 8);
}

// xmax + 1 wraps at 16 bits as the format's own arithmetic does; the caller bounds the result.
int32_t extent(const uint8_t* header, int min_offset, int max_offset) {
    int32_t max_plus_one = static_cast<int16_t>(read_s16(header + max_offset) + 1);
    return max_plus_one - read_s16(header + min_offset);
}

bool layout_accepted(int32_t bits_per_pixel, int32_t planes) {
    if (planes == 1) {
        return bits_per_pixel == 1 || bits_per_pixel == 2 || bits_per_pixel == 4 ||
               bits_per_pixel == 8;
    }
    // Up to 8 one-bit planes: plane p is bit p of an 8-bit index.
    return bits_per_pixel == 1 && planes >= 2 && planes <= 8;
}

// Bytes one line of one plane needs for `width` pixels.
int32_t derived_line_bytes(int32_t bits_per_pixel, int32_t width) {
    int32_t per_byte = 8 / bits_per_pixel;
    return width / per_byte + (width % per_byte != 0 ? 1 : 0);
}

// Takes the 256-colour palette that follows the image data (one marker byte, then 768 bytes)
// when the file carries all of it; files without one keep the header's colour map.
void read_trailing_palette(PcxImage* image) {
    uint8_t trailer[1 + sizeof(image->palette)];
    if (input_read(image->input, trailer, sizeof(trailer)) == sizeof(trailer)) {
        std::memcpy(image->palette, trailer + 1, sizeof(image->palette));
    }
}

// The pixels one byte holds at 1, 2 and 4 bits per pixel, leftmost (most significant bits)
// first: PIXELS_OF[depth][byte], depth 0, 1, 2 for 1, 2, 4 bits.
constexpr auto PIXELS_OF = [] {
    std::array<std::array<std::array<uint8_t, 8>, 256>, 3> table{};
    for (int depth = 0; depth < 3; ++depth) {
        const int bits = 1 << depth;
        const int per_byte = 8 / bits;
        for (int value = 0; value < 256; ++value) {
            for (int i = 0; i < per_byte; ++i) {
                table[depth][value][i] = static_cast<uint8_t>(
                    (value >> ((per_byte - i - 1) * bits)) & ((1 << bits) - 1));
            }
        }
    }
    return table;
}();

// pcx_put_byte for `count` bytes of the same value from byte `k` of one line and plane, of
// an image whose layout has been accepted (1, 2 or 4 bits in one plane, 1 bit in up to 8
// planes, or 8 bits in one).
inline void put_run(const PcxImage* image, uint8_t* line, uint8_t value, int32_t k, int32_t count,
                    int32_t plane) {
    const int32_t bits = image->bits_per_pixel;
    if (bits == 8) {       // one pixel per byte, each written once into a zeroed line
        if (count == 1) {  // most bytes of a photograph are literals
            if (k < image->width) line[k] = value;
        } else if (k < image->width) {
            std::memset(line + k, value, static_cast<size_t>(std::min(count, image->width - k)));
        }
        return;
    }
    const int32_t per_byte = 8 / bits;
    const int32_t shift = bits * plane;  // below 8: more planes only come with 1 bit
    const uint8_t* pixels = PIXELS_OF[bits == 1 ? 0 : bits == 2 ? 1 : 2][value].data();
    int64_t x = static_cast<int64_t>(k) * per_byte;
    const int64_t end =
        std::min(static_cast<int64_t>(k + count) * per_byte, static_cast<int64_t>(image->width));
    if (end - x >= 8) {
        // Eight pixels at a time: the byte's pattern repeats every per_byte pixels, and x stays
        // a multiple of per_byte. Each pixel is below 2^bits before the shift and the shifted
        // value stays below 256, so no bit crosses into the next pixel.
        uint8_t pattern[8];
        for (int32_t i = 0; i < 8; ++i) {
            pattern[i] = static_cast<uint8_t>(pixels[i & (per_byte - 1)] << shift);
        }
        uint64_t eight;
        std::memcpy(&eight, pattern, sizeof(eight));
        for (; x + 8 <= end; x += 8) {
            uint64_t held;
            std::memcpy(&held, line + x, sizeof(held));
            held |= eight;
            std::memcpy(line + x, &held, sizeof(held));
        }
    }
    for (; x < end; ++x) line[x] |= static_cast<uint8_t>(pixels[x & (per_byte - 1)] << shift);
}

// Checks the header and fills in the image's layout; false, with the reason noted, when it
// is refused.
bool accept_header(PcxImage* image, const uint8_t* header, const char* path) {
    if (header[0] != PCX_MANUFACTURER || header[2] != PCX_RLE) {
        note_load_failure(path, "not a PCX image (bad header)");
        return false;
    }
    image->bits_per_pixel = header[3];
    image->planes = header[65];
    image->width = extent(header, 4, 8);
    image->height = extent(header, 6, 10);
    if (!layout_accepted(image->bits_per_pixel, image->planes)) {
        note_load_failure(path, "bit depth or plane count not supported (%d bits x %d planes)",
                          image->bits_per_pixel, image->planes);
        return false;
    }
    if (image->width < 1 || image->height < 1) {
        note_load_failure(path, "not a PCX image (bad size %d x %d)", image->width, image->height);
        return false;
    }
    if (image->width > PCX_MAX_SIDE || image->height > PCX_MAX_SIDE) {
        note_load_failure(path, "image too large (%d x %d, at most %d x %d)", image->width,
                          image->height, PCX_MAX_SIDE, PCX_MAX_SIDE);
        return false;
    }
    return true;
}

}  // namespace

PcxImage* pcx_open(const char* path) {
    load_failure_clear();
    if (path == nullptr) return nullptr;
    auto* image = static_cast<PcxImage*>(std::calloc(1, sizeof(PcxImage)));
    if (image == nullptr) {
        note_load_failure(path, "out of memory");
        return nullptr;
    }
    image->input = input_open(path);
    if (image->input == nullptr) {
        std::free(image);
        return nullptr;
    }
    uint8_t header[PCX_HEADER_SIZE];
    const size_t got = input_read(image->input, header, sizeof(header));
    bool accepted = got == sizeof(header);
    if (!accepted && image->input->error != 0) {
        note_load_failure(path, "cannot read (%s)", std::strerror(image->input->error));
    } else if (!accepted && got == 0) {
        note_load_failure(path, "empty");
    } else if (!accepted) {
        note_load_failure(path, "cut short (%d bytes of header expected, %zu found)",
                          PCX_HEADER_SIZE, got);
    }
    accepted = accepted && accept_header(image, header, path);
    if (accepted) {
        int32_t needed = derived_line_bytes(image->bits_per_pixel, image->width);
        int32_t stated = header[66] | header[67] << 8;
        image->line_bytes = stated >= needed ? stated : needed;
        std::memcpy(image->palette, header + 16, 48);
        image->pixels = static_cast<uint8_t*>(
            std::calloc(static_cast<size_t>(image->width) * static_cast<size_t>(image->height), 1));
        accepted = image->pixels != nullptr;
        if (!accepted) note_load_failure(path, "out of memory");
    }
    if (!accepted) {
        input_close(image->input);
        std::free(image);
        return nullptr;
    }
    image->valid = true;
    return image;
}

int pcx_decode(PcxImage* image) {
    if (image == nullptr || !image->valid || image->input == nullptr) return -1;
    InputFile* in = image->input;
    // The data is one run-length stream over all lines and planes: a run that passes the end
    // of a line carries on into the next line or plane, as some encoders write it.
    int32_t run = 0;
    uint8_t value = 0;
    int64_t decoded = 0;
    const bool byte_per_pixel = image->bits_per_pixel == 8;
    for (int32_t row = 0; row < image->height; ++row) {
        uint8_t* line = image->pixels + static_cast<size_t>(row) * image->width;
        for (int32_t plane = 0; plane < image->planes; ++plane) {
            for (int32_t k = 0; k < image->line_bytes;) {
                if (byte_per_pixel && run == 0) {
                    // A stretch of literal bytes in the block is a stretch of pixels.
                    const uint8_t* literals = in->block + in->next;
                    const size_t most =
                        std::min(in->end - in->next, static_cast<size_t>(image->line_bytes - k));
                    size_t n = 0;
                    while (n < most && literals[n] < RUN_FLAG) ++n;
                    if (n > 0) {
                        if (k < image->width) {
                            std::memcpy(line + k, literals,
                                        std::min(n, static_cast<size_t>(image->width - k)));
                        }
                        in->next += n;
                        k += static_cast<int32_t>(n);
                        decoded += static_cast<int64_t>(n);
                        continue;
                    }
                }
                while (run == 0) {  // a run of length 0 yields nothing
                    int byte = input_byte(in);
                    if (byte >= RUN_FLAG) {
                        run = byte & RUN_LENGTH_MASK;
                        byte = input_byte(in);
                    } else {
                        run = 1;
                    }
                    if (byte < 0) {
                        image->decoded_bytes = decoded;
                        return -1;
                    }
                    value = static_cast<uint8_t>(byte);
                }
                const int32_t count = std::min(run, image->line_bytes - k);
                put_run(image, line, value, k, count, plane);
                k += count;
                run -= count;
                decoded += count;
            }
        }
    }
    image->decoded_bytes = decoded;
    read_trailing_palette(image);
    return 0;
}

void pcx_put_byte(PcxImage* image, uint8_t value, int32_t row, int32_t line_byte, int32_t plane) {
    if (image == nullptr || image->pixels == nullptr) return;
    int32_t bits = image->bits_per_pixel;
    if (bits < 1 || bits > 8 || row < 0 || row >= image->height || line_byte < 0 || plane < 0 ||
        bits * plane >= 8) {
        return;
    }
    int32_t per_byte = 8 / bits;
    int32_t mask = (1 << bits) - 1;
    uint8_t* line = image->pixels + static_cast<size_t>(row) * static_cast<size_t>(image->width);
    int64_t first = static_cast<int64_t>(line_byte) * per_byte;
    for (int32_t i = 0; i < per_byte && first + i < image->width; ++i) {
        // The leftmost pixel comes from the most significant bits.
        int32_t index = (value >> ((per_byte - i - 1) * bits)) & mask;
        line[first + i] |= static_cast<uint8_t>(index << (bits * plane));
    }
}

int pcx_close(PcxImage* image) {
    if (image == nullptr) return 0;
    if (!image->valid || image->input == nullptr) return -1;
    input_close(image->input);
    image->input = nullptr;
    return 0;
}

void pcx_free(PcxImage* image) {
    if (image == nullptr) return;
    input_close(image->input);
    std::free(image->pixels);
    std::free(image);
}

Texture* pcx_load_texture(const char* path) {
    PcxImage* image = pcx_open(path);
    if (image == nullptr) return nullptr;
    Texture* texture = nullptr;
    if (pcx_decode(image) != 0) {
        const int error = image->input->error;
        if (error != 0) {
            note_load_failure(path, "cannot read (%s)", std::strerror(error));
        } else {
            note_load_failure(
                path, "cut short (%lld of %lld bytes of image data)",
                static_cast<long long>(image->decoded_bytes),
                static_cast<long long>(image->height) * image->planes * image->line_bytes);
        }
    } else if (pcx_close(image) == 0) {
        texture = static_cast<Texture*>(std::calloc(1, sizeof(Texture)));
        if (texture == nullptr) note_load_failure(path, "out of memory");
        if (texture != nullptr) {
            texture->pixels = image->pixels;  // taken over, not copied
            texture->width = static_cast<uint32_t>(image->width);
            texture->height = static_cast<uint32_t>(image->height);
            image->pixels = nullptr;
        }
    }
    pcx_free(image);
    return texture;
}

void free_texture(Texture* texture) {
    if (texture == nullptr) return;
    std::free(texture->pixels);
    std::free(texture);
}

int load_tunnel_texture() {
    load_failure_clear();
    tunnel_texture = pcx_load_texture(TUNNEL_PATH);
    return tunnel_texture != nullptr ? 0 : -1;
}
