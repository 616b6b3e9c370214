// Generates the glyph table of the bitmap font (src/text/font_glyphs.cpp) from a bold outline
// font through FreeType: each printable ASCII character is rendered anti-aliased, thresholded
// to one bit per pixel and placed in a 32 x 32 cell on a common baseline.
//
// Usage: fontgen [-o src/text/font_glyphs.cpp] [FONT.ttf]
//        fontgen --measure [FONT.ttf]   prints each glyph's ink box instead
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "cli.h"

namespace {

constexpr const char* kProgram = "fontgen";
constexpr const char* kUsage =
    "usage: fontgen [--measure] [-o FILE] [FONT]\n"
    "Renders the printable ASCII glyphs of an outline font (default: DejaVu Sans Bold) into\n"
    "the bitmap font's glyph table, as C++ source on standard output or in FILE.\n"
    "  -o FILE      write to FILE (replaced only once the whole table is made)\n"
    "  --measure    print each glyph's ink box and pixels instead of the table\n"
    "  -h, --help   show this help\n";
constexpr const char* DEFAULT_FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
constexpr int CELL = 32;
constexpr int FIRST_CODE = 33;
constexpr int LAST_CODE = 126;
// Vertical size: ascenders from row 1 and descenders down to row 30 fit the cell.
constexpr int PIXELS_Y = 31;
// Horizontal size: narrower than the vertical one, so that the wide letters (M, W, m, w)
// fit the cell's 31 usable columns while stems stay 5 to 6 pixels wide.
constexpr int PIXELS_X = 27;
constexpr int BASELINE = 25;     // the first row below the baseline
constexpr int FIRST_COLUMN = 1;  // column 0 stays empty, so neighbours never touch
constexpr int TOP_ROW = 1;
constexpr int BOTTOM_ROW = 30;
constexpr int THRESHOLD = 112;  // coverage (0..255) from which a pixel is ink

using Cell = std::array<std::array<bool, CELL>, CELL>;

struct Box {
    int top = CELL, bottom = -1, left = CELL, right = -1;
};

Box ink_box(const Cell& cell) {
    Box box;
    for (int y = 0; y < CELL; ++y) {
        for (int x = 0; x < CELL; ++x) {
            if (!cell[y][x]) continue;
            box.top = std::min(box.top, y);
            box.bottom = std::max(box.bottom, y);
            box.left = std::min(box.left, x);
            box.right = std::max(box.right, x);
        }
    }
    return box;
}

// Renders one character at the given horizontal size into a cell: on the common baseline,
// centred in the usable columns, moved up or down only where it would leave rows 1..30 (the
// grave accent). False when the ink is too wide for the cell.
bool render(FT_Face face, int code, int pixels_x, Cell& cell) {
    cell = {};
    if (FT_Set_Pixel_Sizes(face, pixels_x, PIXELS_Y) != 0) return false;
    if (FT_Load_Char(face, code, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT) != 0) return false;
    const FT_Bitmap& bitmap = face->glyph->bitmap;
    const int width = static_cast<int>(bitmap.width);
    const int rows = static_cast<int>(bitmap.rows);
    auto ink = [&bitmap](int x, int y) { return bitmap.buffer[y * bitmap.pitch + x] >= THRESHOLD; };
    Box box;
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < width; ++x) {
            if (!ink(x, y)) continue;
            box.top = std::min(box.top, y);
            box.bottom = std::max(box.bottom, y);
            box.left = std::min(box.left, x);
            box.right = std::max(box.right, x);
        }
    }
    if (box.right < 0) return true;
    const int ink_width = box.right - box.left + 1;
    if (ink_width > CELL - FIRST_COLUMN) return false;
    const int offset_x = FIRST_COLUMN + (CELL - FIRST_COLUMN - ink_width) / 2 - box.left;
    int offset_y = BASELINE - face->glyph->bitmap_top;
    offset_y = std::max(offset_y, TOP_ROW - box.top);
    offset_y = std::min(offset_y, BOTTOM_ROW - box.bottom);
    if (box.top + offset_y < TOP_ROW) return false;
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < width; ++x) {
            if (ink(x, y)) cell[y + offset_y][x + offset_x] = true;
        }
    }
    return true;
}

// The widest rendering that fits, from PIXELS_X down.
bool render_fitting(FT_Face face, int code, Cell& cell) {
    for (int pixels_x = PIXELS_X; pixels_x > PIXELS_X / 2; --pixels_x) {
        if (render(face, code, pixels_x, cell)) return true;
    }
    return false;
}

void print_table(std::FILE* out, const std::array<Cell, 128>& cells, const char* font_path) {
    std::fprintf(
        out,
        "// The bitmap font's glyph table: 128 glyphs of 32 x 32 pixels, 128 bytes each, 4 bytes\n"
        "// per row, bit 0 of each byte the leftmost pixel. Codes 33..126 are bold glyphs;\n"
        "// 0..32 and 127 are blank. Each row's comment shows its pixels, leftmost first.\n"
        "//\n"
        "// Generated from %s (Bitstream Vera\n"
        "// licence, free to modify and redistribute) by tools/fontgen; do not edit by hand.\n"
        "// Regenerate with: build/tools/fontgen/fontgen > src/text/font_glyphs.cpp\n"
        "#include \"text/font.h\"\n\n"
        "static_assert(FONT_GLYPH_BYTES == 128);\n\n"
        "// clang-format off\n"
        "const uint8_t font_glyphs[FONT_GLYPH_COUNT * FONT_GLYPH_BYTES] = {\n",
        font_path);
    for (int code = 0; code < 128; ++code) {
        if (code < FIRST_CODE || code > LAST_CODE) {
            std::fprintf(out, "    // %d: blank\n", code);
            for (int line = 0; line < 8; ++line) {
                std::fprintf(out, "   ");
                for (int i = 0; i < 16; ++i) std::fprintf(out, " 0x00,");
                std::fprintf(out, "\n");
            }
            continue;
        }
        std::fprintf(out, "    // %d: '%c'\n", code, code);
        for (int y = 0; y < CELL; ++y) {
            std::string pixels;
            std::fprintf(out, "   ");
            for (int byte = 0; byte < CELL / 8; ++byte) {
                unsigned value = 0;
                for (int bit = 0; bit < 8; ++bit) {
                    bool ink = cells[code][y][byte * 8 + bit];
                    if (ink) value |= 1u << bit;
                    pixels += ink ? '#' : '.';
                }
                std::fprintf(out, " 0x%02X,", value);
            }
            std::fprintf(out, "  // %s\n", pixels.c_str());
        }
    }
    std::fprintf(out, "};\n// clang-format on\n");
}

void print_measures(std::FILE* out, const std::array<Cell, 128>& cells) {
    for (int code = FIRST_CODE; code <= LAST_CODE; ++code) {
        Box box = ink_box(cells[code]);
        std::fprintf(out, "'%c' rows %2d..%2d columns %2d..%2d\n", code, box.top, box.bottom,
                     box.left, box.right);
        for (int y = box.top; y <= box.bottom; ++y) {
            std::string line;
            for (int x = 0; x < CELL; ++x) line += cells[code][y][x] ? '#' : '.';
            std::fprintf(out, "  %2d %s\n", y, line.c_str());
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    CommandLine line = cli_start(kProgram, kUsage, argc, argv);
    bool measure = false;
    const char* out_path = nullptr;
    const char* font_path = nullptr;
    while (cli_more(line)) {
        const char* arg = cli_next(&line);
        if (std::strcmp(arg, "--measure") == 0) {
            measure = true;
        } else if (std::strcmp(arg, "-o") == 0) {
            out_path = cli_value(&line, arg);
        } else if (arg[0] != '-' && font_path == nullptr) {
            font_path = arg;
        } else {
            cli_unexpected(line, arg);
        }
    }
    if (font_path == nullptr) font_path = DEFAULT_FONT;

    std::FILE* probe = std::fopen(font_path, "rb");
    if (probe == nullptr) cli_fail(kProgram, "cannot open %s: %s", font_path, std::strerror(errno));
    std::fclose(probe);
    FT_Library library;
    FT_Face face;
    if (FT_Init_FreeType(&library) != 0) cli_fail(kProgram, "cannot start FreeType");
    if (FT_New_Face(library, font_path, 0, &face) != 0) {
        cli_fail(kProgram, "%s is not a font FreeType can read", font_path);
    }
    std::array<Cell, 128> cells{};
    for (int code = FIRST_CODE; code <= LAST_CODE; ++code) {
        if (!render_fitting(face, code, cells[code])) {
            cli_fail(kProgram, "'%c' of %s does not fit the cell", code, font_path);
        }
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);

    // The output is written only now that every glyph is made, through a temporary file, so a
    // bad font never truncates the table it was meant to replace.
    const std::string part = out_path != nullptr ? std::string(out_path) + ".part" : "";
    std::FILE* out = out_path != nullptr ? std::fopen(part.c_str(), "w") : stdout;
    if (out == nullptr) cli_fail(kProgram, "cannot write %s: %s", out_path, std::strerror(errno));
    if (measure) {
        print_measures(out, cells);
    } else {
        print_table(out, cells, font_path);
    }
    // The reason of the first step that fails: the last of the table reaches the disk only when
    // the file is closed, so the close can fail after every print succeeded.
    int reason = std::ferror(out) != 0 ? errno : 0;
    if (out_path == nullptr) {
        if (std::fflush(out) != 0 && reason == 0) reason = errno;
        if (reason != 0) cli_fail(kProgram, "cannot write the table: %s", std::strerror(reason));
        return 0;
    }
    if (std::fclose(out) != 0 && reason == 0) reason = errno;
    if (reason == 0 && std::rename(part.c_str(), out_path) != 0) reason = errno;
    if (reason != 0) {
        std::remove(part.c_str());
        cli_fail(kProgram, "cannot write %s: %s", out_path, std::strerror(reason));
    }
    return 0;
}
