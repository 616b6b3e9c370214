#include "text/jitter.h"

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
    }
    void TearDown() override {
        clear_jitter_letters(group);
        free_jitter_text(group);
    }
    JitterText* make(const char* word, int32_t x_range, int32_t y_range, int32_t hold) {
        group = create_jitter_text(&font, 10, 30, x_range, y_range, hold);
        jitter_text_add_word(group, word);
        return group;
    }
    TextObject* letter(int i) const { return static_cast<TextObject*>(group->letters->items[i]); }

    Font font{font_glyphs, FONT_GLYPH_SIZE, FONT_GLYPH_SIZE};
    JitterText* group = nullptr;
};

TEST_F(Jitter, RepositionsEveryHoldPlusTwoUpdates) {
    for (int32_t hold : {5, 0}) {
        make("ab", 6, 6, hold);
        std::vector<int> seen, expected;
        for (int update = 1; update <= 21; ++update) {
            update_jitter_text(group);
            if (group->counter == 0) seen.push_back(update);
            if (update % (hold + 2) == 0) expected.push_back(update);
        }
        EXPECT_EQ(seen, expected) << "hold " << hold;
        TearDown();
    }
    group = nullptr;
}

// Letters stay where they were made until the first repositioning, which draws random values for x,
// then y, then the colour, letter by letter (every other update calls it for the colours).
TEST_F(Jitter, RepositionsLetterByLetterXThenYThenColour) {
    make("ab", 8, 4, 0);
    update_jitter_text(group);
    EXPECT_EQ(letter(1)->x, 0);
    EXPECT_EQ(letter(1)->y, 0);
    show_random_seed(77);
    std::vector<int> r;
    for (int i = 0; i < 7; ++i) r.push_back(show_random());
    show_random_seed(77);
    update_jitter_text(group);
    EXPECT_EQ(letter(0)->x, 10 + r[0] % 8 - 4);
    EXPECT_EQ(letter(0)->y, 30 + r[1] % 4 - 2);
    EXPECT_EQ(letter(1)->x, 10 + 32 + r[3] % 8 - 4);
    EXPECT_EQ(letter(1)->y, 30 + r[4] % 4 - 2);
    EXPECT_EQ(draw_colour, r[5] % 256) << "the last letter's colour is the sixth call";
    EXPECT_EQ(show_random(), r[6]) << "six calls in all";
}

// Ranges below 1 count as 1: offset 0. Each letter draws one glyph height below its place.
TEST_F(Jitter, RangesBelowOneAndTheLetterDrawsOneCellBelowItsPlace) {
    make("M", 0, -4, 0);
    update_jitter_text(group);
    clear_frame(0);
    update_jitter_text(group);
    ASSERT_EQ(letter(0)->x, 10);
    ASSERT_EQ(letter(0)->y, 30);
    int top = FRAME_HEIGHT, bottom = -1;
    for (int i = 0; i < FRAME_WIDTH * FRAME_HEIGHT; ++i) {
        if (framebuffer.pixels[i] == 0) continue;
        top = std::min(top, i / FRAME_WIDTH);
        bottom = std::max(bottom, i / FRAME_WIDTH);
    }
    EXPECT_GE(top, 62);
    EXPECT_LE(bottom, 93);
    set_jitter_ranges(group, 0, 0);
    EXPECT_EQ(group->x_range, 1);
}

}  // namespace
