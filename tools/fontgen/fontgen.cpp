// Generates the glyph table of the bitmap font (src/text/font_glyphs.cpp) from a bold outline
// font through FreeType: each printable ASCII character is rendered anti-aliased, thresholded
// to one bit per pixel and placed in a 32 x 32 cell on a common baseline.
//
// Usage: fontgen [font.ttf] > src/text/font_glyphs.cpp
//        fontgen --measure [font.ttf]   prints each glyph's ink box instead
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

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

void print_table(const std::array<Cell, 128>& cells, const char* font_path) {
    std::printf(
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
            std::printf("    // %d: blank\n", code);
            for (int line = 0; line < 8; ++line) {
                std::printf("   ");
                for (int i = 0; i < 16; ++i) std::printf(" 0x00,");
                std::printf("\n");
            }
            continue;
        }
        std::printf("    // %d: '%c'\n", code, code);
        for (int y = 0; y < CELL; ++y) {
            std::string pixels;
            std::printf("   ");
            for (int byte = 0; byte < CELL / 8; ++byte) {
                unsigned value = 0;
                for (int bit = 0; bit < 8; ++bit) {
                    bool ink = cells[code][y][byte * 8 + bit];
                    if (ink) value |= 1u << bit;
                    pixels += ink ? '#' : '.';
                }
                std::printf(" 0x%02X,", value);
            }
            std::printf("  // %s\n", pixels.c_str());
        }
    }
    std::printf("};\n// clang-format on\n");
}

void print_measures(const std::array<Cell, 128>& cells) {
    for (int code = FIRST_CODE; code <= LAST_CODE; ++code) {
        Box box = ink_box(cells[code]);
        std::printf("'%c' rows %2d..%2d columns %2d..%2d\n", code, box.top, box.bottom, box.left,
                    box.right);
        for (int y = box.top; y <= box.bottom; ++y) {
            std::string line;
            for (int x = 0; x < CELL; ++x) line += cells[code][y][x] ? '#' : '.';
            std::printf("  %2d %s\n", y, line.c_str());
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    bool measure = argc > 1 && std::strcmp(argv[1], "--measure") == 0;
    int first_arg = measure ? 2 : 1;
    const char* font_path = argc > first_arg ? argv[first_arg] : DEFAULT_FONT;
    FT_Library library;
    FT_Face face;
    if (FT_Init_FreeType(&library) != 0 || FT_New_Face(library, font_path, 0, &face) != 0) {
        std::fprintf(stderr, "fontgen: cannot open %s\n", font_path);
        return 1;
    }
    std::array<Cell, 128> cells{};
    for (int code = FIRST_CODE; code <= LAST_CODE; ++code) {
        if (!render_fitting(face, code, cells[code])) {
            std::fprintf(stderr, "fontgen: '%c' does not fit the cell\n", code);
            return 1;
        }
    }
    if (measure) {
        print_measures(cells);
    } else {
        print_table(cells, font_path);
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    return 0;
}
