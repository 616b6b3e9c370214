#include "loaders/pcx.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
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

// One byte of the file, or -1 at its end or on a read error.
int read_byte(int fd) {
    uint8_t byte;
    ssize_t got;
    do {
        got = read(fd, &byte, 1);
    } while (got < 0 && errno == EINTR);
    return got == 1 ? byte : -1;
}

// Fills `buffer` from the file; false when the file ends first.
bool read_exact(int fd, uint8_t* buffer, size_t size) {
    size_t done = 0;
    while (done < size) {
        ssize_t got = read(fd, buffer + done, size - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        done += static_cast<size_t>(got);
    }
    return true;
}

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
    if (read_exact(image->fd, trailer, sizeof(trailer))) {
        std::memcpy(image->palette, trailer + 1, sizeof(image->palette));
    }
}

}  // namespace

PcxImage* pcx_open(const char* path) {
    if (path == nullptr) return nullptr;
    auto* image = static_cast<PcxImage*>(std::calloc(1, sizeof(PcxImage)));
    if (image == nullptr) return nullptr;
    image->fd = open(path, O_RDONLY);
    if (image->fd < 0) {
        std::free(image);
        return nullptr;
    }
    uint8_t header[PCX_HEADER_SIZE];
    bool accepted = read_exact(image->fd, header, sizeof(header)) &&
                    header[0] == PCX_MANUFACTURER && header[2] == PCX_RLE;
    if (accepted) {
        image->bits_per_pixel = header[3];
        image->planes = header[65];
        image->width = extent(header, 4, 8);
        image->height = extent(header, 6, 10);
        accepted = layout_accepted(image->bits_per_pixel, image->planes) && image->width >= 1 &&
                   image->width <= PCX_MAX_SIDE && image->height >= 1 &&
                   image->height <= PCX_MAX_SIDE;
    }
    if (accepted) {
        int32_t needed = derived_line_bytes(image->bits_per_pixel, image->width);
        int32_t stated = header[66] | header[67] << 8;
        image->line_bytes = stated >= needed ? stated : needed;
        std::memcpy(image->palette, header + 16, 48);
        image->pixels = static_cast<uint8_t*>(
            std::calloc(static_cast<size_t>(image->width) * static_cast<size_t>(image->height), 1));
        accepted = image->pixels != nullptr;
    }
    if (!accepted) {
        close(image->fd);
        std::free(image);
        return nullptr;
    }
    image->valid = true;
    return image;
}

int pcx_decode(PcxImage* image) {
    if (image == nullptr || !image->valid || image->fd < 0) return -1;
    // The data is one run-length stream over all lines and planes: a run that passes the end
    // of a line carries on into the next line or plane, as some encoders write it.
    int32_t run = 0;
    uint8_t value = 0;
    for (int32_t row = 0; row < image->height; ++row) {
        for (int32_t plane = 0; plane < image->planes; ++plane) {
            for (int32_t k = 0; k < image->line_bytes; ++k) {
                while (run == 0) {  // a run of length 0 yields nothing
                    int byte = read_byte(image->fd);
                    if (byte < 0) return -1;
                    if (byte >= RUN_FLAG) {
                        run = byte & RUN_LENGTH_MASK;
                        byte = read_byte(image->fd);
                        if (byte < 0) return -1;
                    } else {
                        run = 1;
                    }
                    value = static_cast<uint8_t>(byte);
                }
                pcx_put_byte(image, value, row, k, plane);
                --run;
            }
        }
    }
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
    if (!image->valid || image->fd < 0) return -1;
    close(image->fd);
    image->fd = -1;
    return 0;
}

void pcx_free(PcxImage* image) {
    if (image == nullptr) return;
    if (image->fd >= 0) close(image->fd);
    std::free(image->pixels);
    std::free(image);
}

Texture* pcx_load_texture(const char* path) {
    PcxImage* image = pcx_open(path);
    if (image == nullptr) return nullptr;
    Texture* texture = nullptr;
    if (pcx_decode(image) == 0 && pcx_close(image) == 0) {
        texture = static_cast<Texture*>(std::calloc(1, sizeof(Texture)));
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
    tunnel_texture = pcx_load_texture(TUNNEL_PATH);
    if (tunnel_texture == nullptr) {
        std::printf("Unable to load texture '%s'\n", TUNNEL_PATH);
        return -1;
    }
    return 0;
}
