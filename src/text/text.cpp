#include "text/text.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "core/framebuffer.h"
#include "math/fixed.h"

namespace {

// Stores `colour` at the ink pixels of glyph `code` with the cell's top-left corner at the pen;
// clear bits leave the frame as it is, and the parts of the cell outside the frame are cut off.
void draw_glyph(const Font* font, uint8_t code, int64_t pen_x, int64_t pen_y, uint8_t colour) {
    if (code >= FONT_GLYPH_COUNT) return;  // no glyphs past 7-bit ASCII
    const int64_t gw = font->glyph_width;
    const int64_t gh = font->glyph_height;
    const int64_t first_row = pen_y < 0 ? -pen_y : 0;
    const int64_t end_row = std::min<int64_t>(gh, framebuffer.height - pen_y);
    const int64_t first_column = pen_x < 0 ? -pen_x : 0;
    const int64_t end_column = std::min<int64_t>(gw, framebuffer.width - pen_x);
    const uint8_t* glyph = font->glyphs + code * gh * gw / 8;
    for (int64_t i = first_row; i < end_row; ++i) {
        const uint8_t* row = glyph + i * gw / 8;  // each row starts at bit 0 of a byte
        for (int64_t k = first_column; k < end_column; ++k) {
            if ((row[k >> 3] >> (k & 7)) & 1) {
                put_pixel(static_cast<int32_t>(pen_x + k), static_cast<int32_t>(pen_y + i), colour);
            }
        }
    }
}

}  // namespace

TextObject* create_text(const Font* font, uint64_t capacity, uint32_t wrap_width, int32_t x,
                        int32_t y) {
    if (capacity == UINT64_MAX) return nullptr;
    auto* object = static_cast<TextObject*>(std::calloc(1, sizeof(TextObject)));
    if (object == nullptr) return nullptr;
    object->text = static_cast<char*>(std::calloc(capacity + 1, 1));
    if (object->text == nullptr) {
        std::free(object);
        return nullptr;
    }
    object->font = font;
    object->x = x;
    object->y = y;
    object->capacity = capacity;
    object->wrap_width = wrap_width;
    return object;
}

void free_text(TextObject* object) {
    if (object == nullptr) return;
    std::free(object->text);
    std::free(object);
}

void append_text(TextObject* object, const char* text) {
    if (object == nullptr || object->text == nullptr || text == nullptr) return;
    size_t length = strnlen(object->text, object->capacity);
    size_t room = object->capacity - length;
    size_t added = strnlen(text, room);
    std::memmove(object->text + length, text, added);
    object->text[length + added] = '\0';
}

void clear_text(TextObject* object) {
    if (object == nullptr || object->text == nullptr) return;
    object->text[0] = '\0';
}

void set_text_position(TextObject* object, int32_t x, int32_t y) {
    if (object == nullptr) return;
    object->x = x;
    object->y = y;
}

void draw_text(const TextObject* object) {
    if (object == nullptr || object->text == nullptr || object->font == nullptr ||
        object->font->glyphs == nullptr || framebuffer.pixels == nullptr) {
        return;
    }
    const uint8_t colour = draw_colour;
    const int32_t gw = object->font->glyph_width;
    const int32_t gh = object->font->glyph_height;
    if (gw <= 0 || gh <= 0) return;
    int64_t pen_x = object->x;
    int64_t pen_y = object->y;
    uint32_t line_width = 0;
    for (const char* c = object->text; *c != '\0'; ++c) {
        // Tested before every character, so a wrap width below one glyph puts even the first
        // character one line down.
        if (object->wrap_width < line_width + static_cast<uint32_t>(gw)) {
            pen_x = object->x;
            pen_y += gh;
            line_width = 0;
        }
        draw_glyph(object->font, static_cast<uint8_t>(*c), pen_x, pen_y, colour);
        pen_x += gw;
        line_width += static_cast<uint32_t>(gw);
    }
}

Typewriter* create_typewriter(TextObject* target, int32_t interval) {
    auto* writer = static_cast<Typewriter*>(std::calloc(1, sizeof(Typewriter)));
    if (writer == nullptr) return nullptr;
    writer->target = target;
    writer->interval = interval;
    writer->last = -1;
    return writer;
}

void typewriter_set_text(Typewriter* writer, const char* source) {
    if (writer == nullptr) return;
    writer->position = 0;
    writer->source = source;
    writer->length = source == nullptr ? 0 : std::strlen(source);
    clear_text(writer->target);
}

void typewriter_set_interval(Typewriter* writer, int32_t interval) {
    if (writer != nullptr) writer->interval = interval;
}

bool typewriter_step(Typewriter* writer, int32_t now) {
    if (writer == nullptr) return true;
    auto revealed = [writer] {
        return static_cast<uint64_t>(static_cast<int64_t>(writer->position)) >= writer->length;
    };
    if (revealed()) return true;
    if (now > wrap_add(writer->last, writer->interval)) {
        const char next[2] = {writer->source[writer->position], '\0'};
        append_text(writer->target, next);
        ++writer->position;
        writer->last = now;
    }
    draw_text(writer->target);
    return revealed();
}

void free_typewriter(Typewriter* writer) {
    std::free(writer);
}
