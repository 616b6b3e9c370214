// Draws every printable glyph of the system font, and a few words, through draw_text into a
// frame, expands it through the palette as the display does and writes it as a PNG.
//
// Usage: font_preview OUT.png
#include <cstdio>
#include <string>
#include <vector>

#include "cli.h"
#include "core/framebuffer.h"
#include "png_io.h"
#include "text/text.h"

namespace {

constexpr const char* kProgram = "font_preview";
constexpr const char* kUsage =
    "usage: font_preview OUT.png\n"
    "Draws every printable glyph of the built-in font, and a few words, as the show draws\n"
    "text, and writes the picture as an 800-pixel-wide PNG.\n"
    "  -h, --help   show this help\n";

constexpr int32_t WIDTH = FRAME_WIDTH;
constexpr int32_t HEIGHT = 13 * 32;

void draw_line(const Font* font, const char* text, int32_t y) {
    TextObject* object = create_text(font, 64, WIDTH, 8, y);
    append_text(object, text);
    draw_text(object);
    free_text(object);
}

}  // namespace

int main(int argc, char** argv) {
    CommandLine args = cli_start(kProgram, kUsage, argc, argv);
    const char* out_path = nullptr;
    while (cli_more(args)) {
        const char* arg = cli_next(&args);
        if (arg[0] == '-' || out_path != nullptr) cli_unexpected(args, arg);
        out_path = arg;
    }
    if (out_path == nullptr) cli_usage_error(args, "needs the name of the PNG file to write");
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
    std::string error;
    if (!write_frame_png(out_path, frame.data(), WIDTH, HEIGHT, &error)) {
        cli_fail(kProgram, "%s", error.c_str());
    }
    return 0;
}
