#include "text/jitter.h"
#include "core/random.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "core/framebuffer.h"
#include "core/random.h"

namespace {

class Jitter : public ::testing::Test {
   protected:
    void SetUp() override {
        frame_attach_storage();
        clear_frame(0);
        font = create_font(font_glyphs, FONT_GLYPH_SIZE, FONT_GLYPH_SIZE);
    }
    void TearDown() override {
        if (group != nullptr) clear_jitter_letters(group);
        free_jitter_text(group);
        free_font(font);
    }

    // The next n values rand() will give after seeding with `seed`.
    static std::vector<int> next_rands(unsigned seed, int n) {
        show_random_seed(seed);
        std::vector<int> values;
        for (int i = 0; i < n; ++i) values.push_back(show_random());
        show_random_seed(seed);
        return values;
    }

    TextObject* letter(int i) const { return static_cast<TextObject*>(group->letters->items[i]); }

    Font* font = nullptr;
    JitterText* group = nullptr;
};

TEST_F(Jitter, RepositionsEveryHoldPlusTwoUpdates) {
    const struct {
        int32_t hold;
        std::vector<int> repositioning_updates;
    } cases[] = {{5, {7, 14, 21}}, {0, {2, 4, 6, 8, 10, 12, 14, 16, 18, 20}}};
    for (const auto& c : cases) {
        JitterText* g = create_jitter_text(font, 10, 30, 6, 6, c.hold);
        jitter_text_add_word(g, "ab");
        std::vector<int> seen;
        for (int update = 1; update <= 21; ++update) {
            update_jitter_text(g);
            if (g->counter == 0) seen.push_back(update);
        }
        EXPECT_EQ(seen, c.repositioning_updates) << "hold " << c.hold;
        clear_jitter_letters(g);
        free_jitter_text(g);
    }
}

TEST_F(Jitter, LettersStayStackedUntilTheFirstRepositioning) {
    group = create_jitter_text(font, 10, 30, 6, 6, 5);
    jitter_text_add_word(group, "laskig");
    ASSERT_EQ(group->letters->count, 6u);
    for (int update = 1; update <= 6; ++update) update_jitter_text(group);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(letter(i)->x, 0);
        EXPECT_EQ(letter(i)->y, 0);
    }
    update_jitter_text(group);
    for (int i = 0; i < 6; ++i) {
        const int32_t place = 10 + 32 * i;
        EXPECT_GE(letter(i)->x, place - 3) << i;
        EXPECT_LE(letter(i)->x, place + 2) << i;
        EXPECT_GE(letter(i)->y, 30 - 3) << i;
        EXPECT_LE(letter(i)->y, 30 + 2) << i;
    }
}

TEST_F(Jitter, CallsRandInLetterOrderXThenYThenColour) {
    group = create_jitter_text(font, 100, 50, 8, 4, 0);
    jitter_text_add_word(group, "ab");
    update_jitter_text(group);  // counter 1: colours only
    const std::vector<int> r = next_rands(77, 7);
    update_jitter_text(group);  // counter 0: x, y, colour per letter
    EXPECT_EQ(letter(0)->x, 100 + r[0] % 8 - 4);
    EXPECT_EQ(letter(0)->y, 50 + r[1] % 4 - 2);
    EXPECT_EQ(letter(1)->x, 100 + 32 + r[3] % 8 - 4);
    EXPECT_EQ(letter(1)->y, 50 + r[4] % 4 - 2);
    EXPECT_EQ(draw_colour, r[5] % 256) << "the last letter's colour is the sixth call";
    EXPECT_EQ(show_random(), r[6]) << "six calls in all";
}

TEST_F(Jitter, EmptyWordDrawsNothingAndNeverCallsRand) {
    group = create_jitter_text(font, 10, 30, 6, 6, 0);
    jitter_text_add_word(group, "");
    const std::vector<int> r = next_rands(5, 1);
    for (int i = 0; i < 4; ++i) update_jitter_text(group);
    EXPECT_EQ(group->counter, 0) << "the counter still runs";
    EXPECT_EQ(show_random(), r[0]);
    for (int i = 0; i < FRAME_WIDTH * FRAME_HEIGHT; ++i) ASSERT_EQ(framebuffer.pixels[i], 0);
}

TEST_F(Jitter, LetterDrawsOneCellBelowItsPlace) {
    group = create_jitter_text(font, 10, 30, 1, 1, 5);
    jitter_text_add_word(group, "M");
    for (int i = 0; i < 6; ++i) update_jitter_text(group);
    clear_frame(0);
    update_jitter_text(group);  // the seventh update places it at (10, 30) exactly
    ASSERT_EQ(letter(0)->x, 10);
    ASSERT_EQ(letter(0)->y, 30);
    int top = FRAME_HEIGHT, bottom = -1;
    for (int y = 0; y < FRAME_HEIGHT; ++y)
        for (int x = 0; x < FRAME_WIDTH; ++x)
            if (framebuffer.pixels[y * FRAME_WIDTH + x] != 0) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    EXPECT_GE(top, 62);
    EXPECT_LE(bottom, 93);
}

TEST_F(Jitter, RangesBelowOneAreTakenAsOne) {
    group = create_jitter_text(font, 10, 30, 0, -4, 0);
    jitter_text_add_word(group, "x");
    update_jitter_text(group);
    update_jitter_text(group);  // repositioning with the ranges at 1: offset 0
    EXPECT_EQ(letter(0)->x, 10);
    EXPECT_EQ(letter(0)->y, 30);
    set_jitter_ranges(group, 0, 0);
    EXPECT_EQ(group->x_range, 1);
}

}  // namespace
