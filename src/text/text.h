// Text objects: a piece of text with a position, a fixed capacity and a wrap width, drawn
// into the framebuffer in the current draw colour; and the typewriter, which reveals a text
// into a text object one character at a time.
#pragma once

#include <cstdint>

#include "text/font.h"

struct TextObject {
    const Font* font;     // borrowed
    int32_t x, y;         // framebuffer position of the first glyph cell's top-left corner
    uint64_t capacity;    // the most characters the text holds
    char* text;           // owned, capacity + 1 bytes, NUL-terminated
    uint32_t wrap_width;  // pixels; a character that would pass it starts a new line
};

// A new empty text object, or null (nothing left allocated) when memory runs out or the
// capacity leaves no room for the terminating NUL.
TextObject* create_text(const Font* font, uint64_t capacity, uint32_t wrap_width, int32_t x,
                        int32_t y);
// Releases the object and its text. Null is ignored.
void free_text(TextObject* object);
// Appends `text`, keeping at most `capacity` characters (the rest is cut off). Does nothing
// for a null object, buffer or text.
void append_text(TextObject* object, const char* text);
// Empties the text. Does nothing for a null object or buffer.
void clear_text(TextObject* object);
void set_text_position(TextObject* object, int32_t x, int32_t y);
// Draws the text in draw_colour, glyph by glyph from (x, y), starting a new line (x back to
// the object's x, one glyph height lower) before any character that would take the line past
// the wrap width, the first character included. Blank codes (and 128..255) draw nothing but
// advance the pen. Pixels outside the framebuffer are skipped.
void draw_text(const TextObject* object);

struct Typewriter {
    TextObject* target;  // borrowed
    const char* source;  // borrowed; null until typewriter_set_text
    int32_t position;    // index of the next character to reveal
    int32_t interval;    // in the caller's time unit
    int32_t last;        // time of the last revealed character; -1 at creation
    uint64_t length;     // length of source
};

// A new typewriter writing into `target`, or null.
Typewriter* create_typewriter(TextObject* target, int32_t interval);
// Starts over with `source` (borrowed): position 0, and the target's text cleared.
void typewriter_set_text(Typewriter* writer, const char* source);
void typewriter_set_interval(Typewriter* writer, int32_t interval);
// At time `now`, reveals the next character once more than `interval` has passed since the
// last one, then draws the target. True once the whole text is revealed; from then on steps
// draw nothing.
bool typewriter_step(Typewriter* writer, int32_t now);
// Releases the record only (not its target or source). Null is ignored.
void free_typewriter(Typewriter* writer);
