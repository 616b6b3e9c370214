// JitterText: a word laid out as a row of one-letter text objects that shiver. Every few
// updates each letter jumps to a new random offset around its place in the row, and every
// update each letter is drawn in a new random palette colour. Positions and colours come from
// show_random(), which the show never seeds, so every run makes the same choices.
#pragma once

#include <cstdint>

#include "text/font.h"
#include "text/text.h"
#include "util/ptr_vector.h"

struct JitterText {
    PtrVector* letters;        // TextObject pointers, one per letter, in word order
    const Font* font;          // borrowed; its glyph width is the letter pitch
    int32_t x, y;              // base position of the row
    int32_t x_range, y_range;  // sizes of the random offset ranges, at least 1
    int32_t hold;              // letters keep a position for hold + 2 updates
    int32_t counter;           // update counter
};

// A new group with no letters, or null when memory runs out (nothing left allocated).
// Ranges below 1 are taken as 1.
JitterText* create_jitter_text(const Font* font, int32_t x, int32_t y, int32_t x_range,
                               int32_t y_range, int32_t hold);
// Appends one letter object per character; stops quietly at the first letter that cannot be
// created or stored (the letters before it stay).
void jitter_text_add_word(JitterText* group, const char* word);
// Advances the counter, repositions every letter when due, and draws every letter in a fresh
// random colour. Each letter has wrap width 2, so it draws one glyph height below its place.
void update_jitter_text(JitterText* group);
void set_jitter_position(JitterText* group, int32_t x, int32_t y);
void set_jitter_ranges(JitterText* group, int32_t x_range, int32_t y_range);
void set_jitter_hold(JitterText* group, int32_t hold);
// Frees the letters from the last to the first; the group stays usable and empty.
void clear_jitter_letters(JitterText* group);
// Frees the letter list and the record, not the letters (clear_jitter_letters does that).
void free_jitter_text(JitterText* group);
