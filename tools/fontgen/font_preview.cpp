// Draws every printable glyph of the system font, and a few words, through draw_text into a
// frame, expands it through the palette as the display does and writes it as a PNG.
//
// Usage: font_preview out.png
#include <png.h>

#include <cstdio>
#include <vector>

#include "platform/framebuffer.h"
#include "text/text.h"

namespace {

constexpr int32_t WIDTH = FRAME_WIDTH;
constexpr int32_t HEIGHT = 13 * 32;

void draw_line(const Font* font, const char* text, int32_t y) {
    TextObject* object = create_text(font, 64, WIDTH, 8, y);
    append_text(object, text);
    draw_text(object);
    free_text(object);
}

bool write_png(const char* path, const std::vector<uint32_t>& pixels, int32_t width,
               int32_t height) {
    FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row(static_cast<size_t>(width) * 3);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            uint32_t pixel = pixels[static_cast<size_t>(y) * width + x];  // 0xRRGGBB00
            row[x * 3 + 0] = static_cast<png_byte>(pixel >> 24);
            row[x * 3 + 1] = static_cast<png_byte>(pixel >> 16);
            row[x * 3 + 2] = static_cast<png_byte>(pixel >> 8);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: font_preview out.png\n");
        return 2;
    }
    // A frame taller than the display's, so the whole set fits at once.
    std::vector<uint8_t> frame(static_cast<size_t>(WIDTH) * HEIGHT);
    framebuffer = {frame.data(), WIDTH, HEIGHT};
    clear_frame(COLOUR_DARK_GREY);
    set_draw_colour(COLOUR_WHITE);
    Font* font = create_font(font_glyphs, FONT_GLYPH_SIZE, FONT_GLYPH_SIZE);
    char line[13] = {};
    int32_t y = 0;
    for (int code = 33; code <= 126; code += 12, y += 32) {
        int n = 0;
        for (; n < 12 && code + n <= 126; ++n) line[n] = static_cast<char>(code + n);
        line[n] = '\0';
        draw_line(font, line, y);
    }
    const char* words[] = {"Proudly", "Presents", "Happy Jumping", "gyp jq Qu!"};
    for (const char* word : words) {
        set_draw_colour(static_cast<uint8_t>(word[0] == 'P' ? COLOUR_WHITE : 40));
        draw_line(font, word, y);
        y += 32;
    }
    free_font(font);
    std::vector<uint32_t> expanded(static_cast<size_t>(WIDTH) * 2 * HEIGHT * 2);
    expand_frame(frame.data(), WIDTH, HEIGHT, expanded.data(), WIDTH * 2 * 4);
    if (!write_png(argv[1], expanded, WIDTH * 2, HEIGHT * 2)) {
        std::fprintf(stderr, "font_preview: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
