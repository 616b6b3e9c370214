#include "text/jitter.h"

#include <cstdlib>

#include "core/framebuffer.h"
#include "core/random.h"

namespace {

constexpr uint64_t kInitialLetters = 16;
constexpr uint64_t kLetterCapacity = 2;
// Narrower than any glyph, so each letter starts a new line before its first character.
constexpr uint32_t kLetterWrapWidth = 2;

// A range below 1 would make the offset a remainder by zero.
int32_t at_least_one(int32_t range) {
    return range < 1 ? 1 : range;
}

// A random offset in -(range / 2) .. range - 1 - range / 2.
int32_t random_offset(int32_t range) {
    return show_random() % range - range / 2;
}

}  // namespace

JitterText* create_jitter_text(const Font* font, int32_t x, int32_t y, int32_t x_range,
                               int32_t y_range, int32_t hold) {
    auto* group = static_cast<JitterText*>(std::malloc(sizeof(JitterText)));
    if (group == nullptr) return nullptr;
    group->letters = ptrvec_create(kInitialLetters);
    if (group->letters == nullptr) {
        std::free(group);
        return nullptr;
    }
    group->font = font;
    group->x = x;
    group->y = y;
    group->x_range = at_least_one(x_range);
    group->y_range = at_least_one(y_range);
    group->hold = hold;
    group->counter = 0;
    return group;
}

void jitter_text_add_word(JitterText* group, const char* word) {
    if (group == nullptr || word == nullptr) return;
    for (const char* c = word; *c != '\0'; ++c) {
        TextObject* letter = create_text(group->font, kLetterCapacity, kLetterWrapWidth, 0, 0);
        if (letter == nullptr) return;
        const char one[2] = {*c, '\0'};
        append_text(letter, one);
        if (ptrvec_push(group->letters, letter) < 0) {
            free_text(letter);
            return;
        }
    }
}

void update_jitter_text(JitterText* group) {
    if (group == nullptr) return;
    int32_t old = group->counter;
    group->counter = old + 1;
    if (old > group->hold) group->counter = 0;

    const int32_t pitch = group->font != nullptr ? group->font->glyph_width : 0;
    for (uint64_t i = 0; i < group->letters->count; ++i) {
        auto* letter = static_cast<TextObject*>(group->letters->items[i]);
        if (group->counter == 0) {
            // The order of the random calls (x, then y, then colour, letter by letter) is
            // part of the look: every run repeats it.
            int32_t dx = random_offset(group->x_range);
            int32_t dy = random_offset(group->y_range);
            set_text_position(letter, group->x + dx + static_cast<int32_t>(i) * pitch,
                              group->y + dy);
        }
        set_draw_colour(static_cast<uint8_t>(show_random() % 256));
        draw_text(letter);
    }
}

void set_jitter_position(JitterText* group, int32_t x, int32_t y) {
    if (group == nullptr) return;
    group->x = x;
    group->y = y;
}

void set_jitter_ranges(JitterText* group, int32_t x_range, int32_t y_range) {
    if (group == nullptr) return;
    group->x_range = at_least_one(x_range);
    group->y_range = at_least_one(y_range);
}

void set_jitter_hold(JitterText* group, int32_t hold) {
    if (group != nullptr) group->hold = hold;
}

void clear_jitter_letters(JitterText* group) {
    if (group == nullptr) return;
    while (group->letters->count > 0)
        free_text(
            static_cast<TextObject*>(ptrvec_remove(group->letters, group->letters->count - 1)));
}

void free_jitter_text(JitterText* group) {
    if (group == nullptr) return;
    ptrvec_free(group->letters);
    std::free(group);
}
