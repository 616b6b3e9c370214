#include "text/text.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "core/framebuffer.h"

namespace {

// A font whose glyph for 'X' is all ink, whose 'x' is the cell's top-left pixel alone, and
// whose other glyphs are blank, so that every cell drawn shows exactly where it went.
struct SolidFont {
    std::array<uint8_t, FONT_GLYPH_COUNT * FONT_GLYPH_BYTES> table{};
    Font font{};
    SolidFont() {
        for (size_t i = 0; i < FONT_GLYPH_BYTES; ++i) table['X' * FONT_GLYPH_BYTES + i] = 0xFF;
        table['x' * FONT_GLYPH_BYTES] = 0x01;
        font = {table.data(), FONT_GLYPH_SIZE, FONT_GLYPH_SIZE};
    }
};

struct Cell {
    int32_t x, y;
};

// The top-left corners of the 32 x 32 cells that are fully inked; fails on stray ink.
std::vector<Cell> inked_cells() {
    std::vector<Cell> cells;
    for (int32_t y = 0; y + 32 <= framebuffer.height; ++y) {
        for (int32_t x = 0; x + 32 <= framebuffer.width; ++x) {
            const uint8_t* p = framebuffer.pixels + y * framebuffer.width + x;
            bool corner =
                p[0] != 0 && (x == 0 || p[-1] == 0) && (y == 0 || p[-framebuffer.width] == 0);
            if (corner) cells.push_back({x, y});
        }
    }
    return cells;
}

// Inked pixels in row-major order.
std::vector<Cell> ink_pixels() {
    std::vector<Cell> pixels;
    for (int32_t y = 0; y < framebuffer.height; ++y) {
        for (int32_t x = 0; x < framebuffer.width; ++x) {
            if (framebuffer.pixels[y * framebuffer.width + x] != 0) pixels.push_back({x, y});
        }
    }
    return pixels;
}

int count_ink() {
    int ink = 0;
    for (int32_t i = 0; i < framebuffer.width * framebuffer.height; ++i) {
        ink += framebuffer.pixels[i] != 0;
    }
    return ink;
}

struct TextTest : testing::Test {
    SolidFont solid;
    void SetUp() override {
        frame_attach_storage();
        clear_frame(0);
        set_draw_colour(COLOUR_WHITE);
    }
    void draw(const char* text, uint32_t wrap_width, int32_t x, int32_t y,
              const Font* font = nullptr) {
        TextObject* object =
            create_text(font != nullptr ? font : &solid.font, 64, wrap_width, x, y);
        ASSERT_NE(object, nullptr);
        append_text(object, text);
        draw_text(object);
        free_text(object);
    }
};

TEST_F(TextTest, AWrapWidthBelowOneGlyphPutsTheFirstLetterOneLineDown) {
    draw("X", 2, 10, 30);
    auto cells = inked_cells();
    ASSERT_EQ(cells.size(), 1u);
    EXPECT_EQ(cells[0].x, 10);
    EXPECT_EQ(cells[0].y, 62);
    EXPECT_EQ(count_ink(), 32 * 32);
    EXPECT_EQ(framebuffer.pixels[93 * FRAME_WIDTH + 41], COLOUR_WHITE);
}

TEST_F(TextTest, TheThirteenthCharacterStartsTheNextLine) {
    draw("xxxxxxxxxxxxxxxxxxxxxxxxx", 400, 4, 0);  // 25 characters: 12, 12 and 1
    auto cells = ink_pixels();
    ASSERT_EQ(cells.size(), 25u);
    EXPECT_EQ(cells[11].x, 4 + 11 * 32);
    EXPECT_EQ(cells[11].y, 0);
    EXPECT_EQ(cells[12].x, 4);
    EXPECT_EQ(cells[12].y, 32);
    EXPECT_EQ(cells[24].x, 4);
    EXPECT_EQ(cells[24].y, 64);
}

TEST_F(TextTest, BlankCodesAdvanceThePenAndDrawNothing) {
    draw("        ", 400, 0, 0, nullptr);
    EXPECT_EQ(count_ink(), 0);
    draw("X X", 400, 0, 0);
    auto cells = inked_cells();
    ASSERT_EQ(cells.size(), 2u);
    EXPECT_EQ(cells[1].x, 64);
}

TEST_F(TextTest, CodesPastSevenBitAsciiDrawNothing) {
    // The table holds 128 glyphs; a real font makes any stray read past it visible too.
    Font* font = create_font(font_glyphs, 32, 32);
    const char high[] = {'\x80', '\xC8', '\xFF', 'X', '\0'};
    draw(high, 400, 0, 0);
    auto cells = inked_cells();
    ASSERT_EQ(cells.size(), 1u);
    EXPECT_EQ(cells[0].x, 96);
    clear_frame(0);
    draw(high, 400, 0, 0, font);
    for (int32_t y = 0; y < FRAME_HEIGHT; ++y) {
        for (int32_t x = 0; x < 96; ++x) {
            ASSERT_EQ(framebuffer.pixels[y * FRAME_WIDTH + x], 0);
        }
    }
    free_font(font);
}

TEST_F(TextTest, DrawingIsClippedToTheFramebuffer) {
    // The frame sits inside a larger buffer whose margins must stay untouched.
    std::vector<uint8_t> storage(FRAME_WIDTH * (FRAME_HEIGHT + 80), 0);
    framebuffer.pixels = storage.data() + FRAME_WIDTH * 40;
    const Cell positions[] = {{-16, -16}, {384, 224}, {-40, 100}, {390, -31}, {0, 239}};
    int expected_ink = 16 * 16 + 16 * 16 + 0 + 10 * 1 + 32 * 1;
    for (const Cell& at : positions) draw("X", 400, at.x, at.y);
    for (size_t i = 0; i < storage.size(); ++i) {
        bool inside = i >= FRAME_WIDTH * 40 && i < FRAME_WIDTH * (FRAME_HEIGHT + 40);
        if (!inside) {
            ASSERT_EQ(storage[i], 0) << i;
        }
    }
    EXPECT_EQ(count_ink(), expected_ink);
    frame_attach_storage();
}

TEST_F(TextTest, DrawsInTheDrawColourAndKeepsTheObjectPosition) {
    TextObject* object = create_text(&solid.font, 4, 400, 5, 6);
    append_text(object, "X");
    set_draw_colour(COLOUR_DARK_RED_BROWN);
    set_text_position(object, 7, 8);
    draw_text(object);
    EXPECT_EQ(object->x, 7);
    EXPECT_EQ(object->y, 8);
    EXPECT_EQ(framebuffer.pixels[8 * FRAME_WIDTH + 7], COLOUR_DARK_RED_BROWN);
    EXPECT_EQ(framebuffer.pixels[8 * FRAME_WIDTH + 6], 0);
    free_text(object);
}

TEST(TextObject, AppendKeepsWithinTheCapacity) {
    TextObject* object = create_text(nullptr, 5, 400, 0, 0);
    ASSERT_NE(object, nullptr);
    EXPECT_STREQ(object->text, "");
    append_text(object, "Pro");
    append_text(object, "udly");
    EXPECT_STREQ(object->text, "Proud");
    append_text(object, "more");
    EXPECT_STREQ(object->text, "Proud");
    clear_text(object);
    append_text(object, "ab");
    EXPECT_STREQ(object->text, "ab");
    free_text(object);
    append_text(nullptr, "x");
    clear_text(nullptr);
    free_text(nullptr);
    EXPECT_EQ(create_text(nullptr, UINT64_MAX, 400, 0, 0), nullptr);
}

TEST(TextMeasures, WidthBlockSizeAndHeight) {
    Font* font = create_font(font_glyphs, 32, 32);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(text_width(font, "Proudly"), 224);
    EXPECT_EQ(text_width(font, "Presents"), 256);
    EXPECT_EQ(text_width(font, ""), 0);
    EXPECT_EQ(text_width(nullptr, "x"), -1);
    EXPECT_EQ(font_glyph_height(font), 32);
    EXPECT_EQ(font_glyph_height(nullptr), -1);

    struct Case {
        const char* text;
        int32_t per_line, width, height;
    };
    for (const Case& c : {Case{"twelve chars", 5, 160, 96}, Case{"", 5, 0, 32},
                          Case{"Presents", 12, 256, 32}, Case{"abcdef", 3, 96, 64}}) {
        int32_t width = -7, height = -7;
        EXPECT_EQ(text_block_size(font, c.text, c.per_line, &width, &height), 0) << c.text;
        EXPECT_EQ(width, c.width) << c.text;
        EXPECT_EQ(height, c.height) << c.text;
    }
    EXPECT_EQ(text_block_size(font, "abc", 2, nullptr, nullptr), 0);
    EXPECT_EQ(text_block_size(font, "abc", 0, nullptr, nullptr), -1);
    EXPECT_EQ(text_block_size(nullptr, "abc", 2, nullptr, nullptr), -1);
    EXPECT_EQ(text_block_size(font, nullptr, 2, nullptr, nullptr), -1);
    free_font(font);
}

TEST(Typewriter, RevealsOneCharacterPerIntervalAndStopsDrawingWhenDone) {
    frame_attach_storage();
    clear_frame(0);
    set_draw_colour(COLOUR_WHITE);
    SolidFont solid;
    TextObject* target = create_text(&solid.font, 8, 400, 0, 0);
    append_text(target, "old");
    Typewriter* writer = create_typewriter(target, 10);
    ASSERT_NE(writer, nullptr);
    EXPECT_TRUE(typewriter_step(writer, 0));  // no text yet
    typewriter_set_text(writer, "XXX");
    EXPECT_STREQ(target->text, "");
    struct Step {
        int32_t now;
        const char* text;
        bool done;
    };
    const Step steps[] = {{0, "", false},   {10, "X", false},  {11, "X", false},
                          {12, "X", false}, {30, "XX", false}, {41, "XXX", true}};
    for (const Step& step : steps) {
        clear_frame(0);
        EXPECT_EQ(typewriter_step(writer, step.now), step.done) << step.now;
        EXPECT_STREQ(target->text, step.text) << step.now;
        EXPECT_EQ(count_ink(), static_cast<int>(std::strlen(step.text)) * 32 * 32) << step.now;
    }
    clear_frame(0);
    EXPECT_TRUE(typewriter_step(writer, 60));
    EXPECT_EQ(count_ink(), 0);  // finished: nothing drawn
    typewriter_set_interval(writer, 0);
    typewriter_set_text(writer, "X");
    EXPECT_FALSE(typewriter_step(writer, 41));  // 41 is not past 41 + 0
    EXPECT_TRUE(typewriter_step(writer, 42));
    free_typewriter(writer);
    free_typewriter(nullptr);
    free_text(target);
}

// The generated table: blank codes are blank, every printable glyph has ink, and the ink keeps
// to the cell's usable area so that neighbouring letters never touch.
TEST(FontGlyphs, BlankAndPrintableCodesAndInkArea) {
    for (int code = 0; code < FONT_GLYPH_COUNT; ++code) {
        const uint8_t* glyph = font_glyphs + code * FONT_GLYPH_BYTES;
        int ink = 0;
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x) {
                if (!((glyph[y * 4 + x / 8] >> (x % 8)) & 1)) continue;
                ++ink;
                EXPECT_TRUE(x >= 1 && y >= 1 && y <= 30) << code << " at " << x << "," << y;
            }
        }
        bool printable = code >= 33 && code <= 126;
        EXPECT_EQ(ink > 0, printable) << code;
    }
}

TEST(FontGlyphs, LettersShareABaseline) {
    auto bottom_row = [](char c) {
        const uint8_t* glyph = font_glyphs + c * FONT_GLYPH_BYTES;
        for (int y = 31; y >= 0; --y) {
            if (glyph[y * 4] | glyph[y * 4 + 1] | glyph[y * 4 + 2] | glyph[y * 4 + 3]) return y;
        }
        return -1;
    };
    for (char c : std::string("AHMXZabdehkmnxz0123.")) EXPECT_EQ(bottom_row(c), 24) << c;
    for (char c : std::string("gjpqy")) EXPECT_EQ(bottom_row(c), 30) << c;
}

}  // namespace
