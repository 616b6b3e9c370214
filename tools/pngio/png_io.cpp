#include "png_io.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "core/expand.h"

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// libpng's own error handler prints a line of its own; this one only leaves, and the caller
// names the file and the system's reason.
[[noreturn]] void on_png_error(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

void on_png_warning(png_structp, png_const_charp) {}

std::string write_failure(const std::string& path, int error) {
    return "cannot write " + path + (error != 0 ? std::string(": ") + std::strerror(error) : "");
}

}  // namespace

bool write_png_rgbx(const std::string& path, const uint32_t* pixels, int32_t width, int32_t height,
                    std::string* error) {
    File file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        *error = write_failure(path, errno);
        return false;
    }
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, on_png_error, on_png_warning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        *error = "out of memory writing " + path;
        return false;
    }
    std::vector<uint8_t> row(static_cast<size_t>(width) * 3);
    errno = 0;
    if (setjmp(png_jmpbuf(png))) {
        const int reason = errno;  // a failed write leaves the system's reason
        png_destroy_write_struct(&png, &info);
        *error = write_failure(path, reason);
        return false;
    }
    png_init_io(png, file.get());
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int32_t y = 0; y < height; ++y) {
        const uint32_t* src = pixels + static_cast<size_t>(y) * static_cast<size_t>(width);
        for (int32_t x = 0; x < width; ++x) {
            row[3 * x] = static_cast<uint8_t>(src[x] >> 24);
            row[3 * x + 1] = static_cast<uint8_t>(src[x] >> 16);
            row[3 * x + 2] = static_cast<uint8_t>(src[x] >> 8);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    // The last bytes leave the buffer only now: a full disk may show here and nowhere before.
    if (std::fclose(file.release()) != 0) {
        *error = write_failure(path, errno);
        return false;
    }
    return true;
}

bool read_png_rgb(const std::string& path, RgbImage* image, std::string* error) {
    png_image reader{};
    reader.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&reader, path.c_str())) {
        *error = "cannot read " + path + ": " + reader.message;
        return false;
    }
    reader.format = PNG_FORMAT_RGB;
    image->width = static_cast<int32_t>(reader.width);
    image->height = static_cast<int32_t>(reader.height);
    image->rgb.assign(PNG_IMAGE_SIZE(reader), 0);
    if (!png_image_finish_read(&reader, nullptr, image->rgb.data(), 0, nullptr)) {
        *error = "cannot decode " + path + ": " + reader.message;
        png_image_free(&reader);
        return false;
    }
    return true;
}

bool write_frame_png(const std::string& path, const uint8_t* indices, int32_t width, int32_t height,
                     std::string* error) {
    std::vector<uint32_t> surface(static_cast<size_t>(width) * 2 * static_cast<size_t>(height) * 2);
    expand_frame(rgbx_surface_palette(), indices, width, height, surface.data(), width * 2 * 4);
    return write_png_rgbx(path, surface.data(), width * 2, height * 2, error);
}
