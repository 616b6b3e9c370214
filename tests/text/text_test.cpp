#include "text/text.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "core/framebuffer.h"

namespace {

using Pixels = std::vector<std::pair<int, int>>;

// 'X' is all ink, 'x' the cell's top-left pixel alone and every other glyph blank, so each
// 'x' drawn shows where its cell went.
struct TestFont {
    std::array<uint8_t, FONT_GLYPH_COUNT * FONT_GLYPH_BYTES> table{};
    Font font{table.data(), FONT_GLYPH_SIZE, FONT_GLYPH_SIZE};
    TestFont() {
        std::fill_n(table.begin() + 'X' * FONT_GLYPH_BYTES, FONT_GLYPH_BYTES, 0xFF);
        table['x' * FONT_GLYPH_BYTES] = 0x01;
    }
};

// The inked pixels in row order; every one must be in the draw colour.
Pixels ink() {
    Pixels pixels;
    for (int i = 0; i < FRAME_WIDTH * FRAME_HEIGHT; ++i) {
        if (framebuffer.pixels[i] == 0) continue;
        EXPECT_EQ(framebuffer.pixels[i], draw_colour) << i;
        pixels.push_back({i % FRAME_WIDTH, i / FRAME_WIDTH});
    }
    return pixels;
}

struct TextTest : testing::Test {
    TestFont test_font;
    void SetUp() override {
        frame_attach_storage();
        clear_frame(0);
        set_draw_colour(COLOUR_DARK_RED_BROWN);
    }
    void draw(const char* text, uint32_t wrap_width, int32_t x, int32_t y,
              const Font* font = nullptr) {
        TextObject* object = create_text(font ? font : &test_font.font, 64, wrap_width, 0, 0);
        append_text(object, text);
        set_text_position(object, x, y);
        draw_text(object);
        free_text(object);
    }
};

// A character that would take the line past the wrap width starts a new line, the first one
// included; blank codes and codes past 127 draw nothing but advance the pen.
TEST_F(TextTest, CellsWrapAndAdvance) {
    const struct {
        const char* text;
        uint32_t wrap_width;
        int32_t x, y;
        Pixels cells;
    } cases[] = {
        {"x", 2, 10, 30, {{10, 62}}},
        {"xxxx", 96, 4, 0, {{4, 0}, {36, 0}, {68, 0}, {4, 32}}},
        {"x x\x80\xC8\xFFx", 400, 0, 5, {{0, 5}, {64, 5}, {192, 5}}},
    };
    for (const auto& c : cases) {
        draw(c.text, c.wrap_width, c.x, c.y);
        EXPECT_EQ(ink(), c.cells) << c.text;
        clear_frame(0);
    }
    Font* font = create_font(font_glyphs, 32, 32);  // with the real table a stray read shows
    draw("\x80\xC8\xFF", 400, 0, 0, font);
    EXPECT_EQ(ink(), Pixels{});
    free_font(font);
}

TEST_F(TextTest, DrawingIsClippedToTheFramebuffer) {
    // The frame sits inside a larger buffer whose margins must stay untouched.
    std::vector<uint8_t> storage(FRAME_WIDTH * (FRAME_HEIGHT + 80), 0);
    framebuffer.pixels = storage.data() + FRAME_WIDTH * 40;
    const std::pair<int, int> positions[] = {
        {-16, -16}, {384, 224}, {-40, 100}, {390, -31}, {0, 239}};
    for (auto [x, y] : positions) draw("X", 400, x, y);
    EXPECT_EQ(ink().size(), 16u * 16 + 16 * 16 + 0 + 10 * 1 + 32 * 1);
    EXPECT_EQ(size_t(std::count(storage.begin(), storage.end(), 0)), storage.size() - ink().size());
    frame_attach_storage();
}

TEST(TextObject, AppendKeepsWithinTheCapacity) {
    TextObject* object = create_text(nullptr, 5, 400, 0, 0);
    ASSERT_NE(object, nullptr);
    EXPECT_STREQ(object->text, "");
    for (const char* more : {"Pro", "udly", "more"}) append_text(object, more);
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
    Font* font = create_font(font_glyphs, 32, 24);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(text_width(font, "Proudly"), 224);
    EXPECT_EQ(text_width(font, ""), 0);
    EXPECT_EQ(text_width(nullptr, "x"), -1);
    EXPECT_EQ(font_glyph_height(font), 24);
    EXPECT_EQ(font_glyph_height(nullptr), -1);
    const struct {
        const char* text;
        int32_t per_line, width, height;
    } cases[] = {{"twelve chars", 5, 160, 72},
                 {"", 5, 0, 24},
                 {"Presents", 12, 256, 24},
                 {"abcdef", 3, 96, 48}};
    for (const auto& c : cases) {
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

TEST_F(TextTest, TypewriterRevealsOneCharacterPerIntervalAndStopsDrawingWhenDone) {
    TextObject* target = create_text(&test_font.font, 8, 400, 0, 0);
    append_text(target, "old");
    Typewriter* writer = create_typewriter(target, 10);
    ASSERT_NE(writer, nullptr);
    EXPECT_TRUE(typewriter_step(writer, 0));  // no text yet
    typewriter_set_text(writer, "XXX");
    EXPECT_STREQ(target->text, "");
    const struct {
        int32_t now;
        const char* text;
        bool done;
    } steps[] = {{0, "", false},    {10, "X", false},  {11, "X", false}, {12, "X", false},
                 {30, "XX", false}, {41, "XXX", true}, {60, "XXX", true}};
    for (const auto& step : steps) {
        clear_frame(0);
        EXPECT_EQ(typewriter_step(writer, step.now), step.done) << step.now;
        EXPECT_STREQ(target->text, step.text) << step.now;
        // Drawn while revealing; nothing once the whole text was revealed before this step.
        const size_t drawn = step.now == 60 ? 0 : std::strlen(step.text);
        EXPECT_EQ(ink().size(), drawn * 32 * 32) << step.now;
    }
    typewriter_set_interval(writer, 0);
    typewriter_set_text(writer, "X");
    EXPECT_FALSE(typewriter_step(writer, 41));  // 41 is not past 41 + 0
    EXPECT_TRUE(typewriter_step(writer, 42));
    free_typewriter(writer);
    free_typewriter(nullptr);
    free_text(target);
}

// The generated table: blank codes are blank and every printable glyph has ink, which keeps
// to the cell's usable area so that neighbouring letters never touch; letters share a
// baseline and descenders reach below it.
TEST(FontGlyphs, BlankAndPrintableCodesInkAreaAndBaseline) {
    for (int code = 0; code < FONT_GLYPH_COUNT; ++code) {
        const uint8_t* glyph = font_glyphs + code * FONT_GLYPH_BYTES;
        int ink = 0, bottom = -1;
        for (int i = 0; i < 32 * 32; ++i) {
            const int x = i % 32, y = i / 32;
            if (!((glyph[y * 4 + x / 8] >> (x % 8)) & 1)) continue;
            ++ink, bottom = y;
            EXPECT_TRUE(x >= 1 && y >= 1 && y <= 30) << code << " at " << x << "," << y;
        }
        EXPECT_EQ(ink > 0, code >= 33 && code <= 126) << code;
        const int baseline = code == 0                                   ? -1
                             : std::strchr("gjpqy", code)                ? 30
                             : std::strchr("AHMXZabdehkmnxz0123.", code) ? 24
                                                                         : -1;
        EXPECT_TRUE(baseline < 0 || bottom == baseline) << char(code) << " ends on " << bottom;
    }
}

}  // namespace
