#include "text/text.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "core/framebuffer.h"
#include "core/random.h"
#include "text/jitter.h"

namespace {

using Pixels = std::vector<std::pair<int, int>>;

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

// With a font whose 'X' is all ink and whose 'x' is the cell's top-left pixel alone (every
// other glyph blank), so that each 'x' drawn shows where its cell went.
struct TextTest : testing::Test {
    std::array<uint8_t, FONT_GLYPH_COUNT * FONT_GLYPH_BYTES> table{};
    Font font{table.data(), FONT_GLYPH_SIZE, FONT_GLYPH_SIZE};
    void SetUp() override {
        std::fill_n(table.begin() + 'X' * FONT_GLYPH_BYTES, FONT_GLYPH_BYTES, 0xFF);
        table['x' * FONT_GLYPH_BYTES] = 0x01;
        frame_attach_storage();
        clear_frame(0);
        set_draw_colour(COLOUR_DARK_RED_BROWN);
    }
    void draw(const char* text, uint32_t wrap_width, int32_t x, int32_t y, const Font* f) {
        TextObject* object = create_text(f, 64, wrap_width, 0, 0);
        append_text(object, text);
        set_text_position(object, x, y);
        draw_text(object);
        free_text(object);
    }
};

// A character that would take the line past the wrap width starts a new line, the first one
// included; blank codes and codes past 127 draw nothing but advance the pen (with the real
// table too, where a stray read past code 127 would show).
TEST_F(TextTest, CellsWrapAndAdvance) {
    Font* real = create_font(font_glyphs, 32, 32);
    const struct {
        const char* text;
        uint32_t wrap_width;
        int32_t x, y;
        const Font* font;
        Pixels cells;
    } cases[] = {
        {"x", 2, 10, 30, &font, {{10, 62}}},
        {"xxxx", 96, 4, 0, &font, {{4, 0}, {36, 0}, {68, 0}, {4, 32}}},
        {"x x\x80\xC8\xFFx", 400, 0, 5, &font, {{0, 5}, {64, 5}, {192, 5}}},
        {"\x80\xC8\xFF", 400, 0, 0, real, {}},
    };
    for (const auto& c : cases) {
        draw(c.text, c.wrap_width, c.x, c.y, c.font);
        EXPECT_EQ(ink(), c.cells) << c.text;
        clear_frame(0);
    }
    free_font(real);
}

// Cells over every edge: only their part inside the frame is drawn, and the margins of a
// larger buffer around the frame stay untouched.
TEST_F(TextTest, DrawingIsClippedToTheFramebuffer) {
    std::vector<uint8_t> storage(FRAME_WIDTH * (FRAME_HEIGHT + 80), 0);
    framebuffer.pixels = storage.data() + FRAME_WIDTH * 40;
    for (auto [x, y] : {std::pair{-16, -16}, {384, 224}, {-40, 100}, {390, -31}, {0, 239}})
        draw("X", 400, x, y, &font);
    EXPECT_EQ(ink().size(), 16u * 16 + 16 * 16 + 0 + 10 * 1 + 32 * 1);
    EXPECT_EQ(size_t(std::count(storage.begin(), storage.end(), 0)), storage.size() - ink().size());
    frame_attach_storage();
}

// A jittering letter draws one cell below its place; ranges below 1 count as 1: offset 0.
TEST_F(TextTest, JitterLetterDrawsOneCellDownAndRangesBelowOneAreOne) {
    JitterText* group = create_jitter_text(&font, 10, 30, 0, -4, 0);
    jitter_text_add_word(group, "x");
    show_random_seed(1);
    for (int i = 0; i < 2; ++i) clear_frame(0), update_jitter_text(group);  // placed on the 2nd
    EXPECT_NE(framebuffer.pixels[62 * FRAME_WIDTH + 10], 0);
    EXPECT_EQ(std::count(framebuffer.pixels, framebuffer.pixels + 96000, 0), 96000 - 1);
    set_jitter_ranges(group, -1, 0);
    EXPECT_EQ(std::pair(group->x_range, group->y_range), std::pair(1, 1));
    clear_jitter_letters(group);
    free_jitter_text(group);
}

TEST(TextObject, AppendKeepsWithinTheCapacity) {
    TextObject* object = create_text(nullptr, 5, 400, 0, 0);
    for (const char* more : {"Pro", "udly", "more"}) append_text(object, more);
    EXPECT_STREQ(object->text, "Proud");
    clear_text(object);
    append_text(object, "ab");
    EXPECT_STREQ(object->text, "ab");
    free_text(object);
    append_text(nullptr, "x");
    EXPECT_EQ(create_text(nullptr, UINT64_MAX, 400, 0, 0), nullptr);
}

// Rows: text, characters per line, width, height, with 32 x 24 glyphs.
TEST(TextMeasures, WidthBlockSizeAndHeight) {
    Font* font = create_font(font_glyphs, 32, 24);
    EXPECT_EQ(std::tuple(text_width(font, "Proudly"), text_width(nullptr, "x")),
              std::tuple(224, -1));
    EXPECT_EQ(std::tuple(font_glyph_height(font), font_glyph_height(nullptr)), std::tuple(24, -1));
    const std::tuple<const char*, int32_t, int32_t, int32_t> cases[] = {
        {"twelve chars", 5, 160, 72},
        {"", 5, 0, 24},
        {"Presents", 12, 256, 24},
        {"abcdef", 3, 96, 48}};
    for (const auto& [text, per_line, width, height] : cases) {
        int32_t w = -7, h = -7;
        EXPECT_EQ(text_block_size(font, text, per_line, &w, &h), 0) << text;
        EXPECT_EQ(std::pair(w, h), std::pair(width, height)) << text;
    }
    EXPECT_EQ(text_block_size(font, "abc", 2, nullptr, nullptr), 0);
    EXPECT_EQ(text_block_size(font, "abc", 0, nullptr, nullptr), -1);
    EXPECT_EQ(text_block_size(nullptr, "abc", 2, nullptr, nullptr), -1);
    free_font(font);
}

// One more character once the interval has passed since the last; drawn while revealing,
// not once the whole text was revealed before the step.
TEST_F(TextTest, TypewriterRevealsOneCharacterPerIntervalAndStopsDrawingWhenDone) {
    TextObject* target = create_text(&font, 8, 400, 0, 0);
    append_text(target, "old");
    Typewriter* writer = create_typewriter(target, 10);
    EXPECT_TRUE(typewriter_step(writer, 0));  // no text yet
    typewriter_set_text(writer, "XXX");
    EXPECT_STREQ(target->text, "");
    const std::tuple<int32_t, const char*, bool> steps[] = {
        {0, "", false},    {10, "X", false},  {11, "X", false}, {12, "X", false},
        {30, "XX", false}, {41, "XXX", true}, {60, "XXX", true}};
    for (const auto& [now, text, done] : steps) {
        clear_frame(0);
        EXPECT_EQ(typewriter_step(writer, now), done) << now;
        EXPECT_STREQ(target->text, text) << now;
        EXPECT_EQ(ink().size(), (now == 60 ? 0 : std::strlen(text)) * 32 * 32) << now;
    }
    typewriter_set_interval(writer, 0);
    typewriter_set_text(writer, "X");
    EXPECT_FALSE(typewriter_step(writer, 41));  // 41 is not past 41 + 0
    EXPECT_TRUE(typewriter_step(writer, 42));
    free_typewriter(writer);
    free_text(target);
}

}  // namespace
