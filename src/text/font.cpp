#include "text/font.h"

#include <cstdlib>
#include <cstring>

Font* create_font(const uint8_t* glyphs, int32_t glyph_width, int32_t glyph_height) {
    auto* font = static_cast<Font*>(std::malloc(sizeof(Font)));
    if (font == nullptr) return nullptr;
    font->glyphs = glyphs;
    font->glyph_width = glyph_width;
    font->glyph_height = glyph_height;
    return font;
}

void free_font(Font* font) {
    std::free(font);
}

int32_t font_glyph_height(const Font* font) {
    return font == nullptr ? -1 : font->glyph_height;
}

int32_t text_width(const Font* font, const char* text) {
    if (font == nullptr || text == nullptr) return -1;
    return static_cast<int32_t>(static_cast<uint32_t>(font->glyph_width) *
                                static_cast<uint32_t>(std::strlen(text)));
}

int text_block_size(const Font* font, const char* text, int32_t per_line, int32_t* width,
                    int32_t* height) {
    if (font == nullptr || text == nullptr || per_line == 0) return -1;
    const uint64_t length = std::strlen(text);
    const auto per = static_cast<uint64_t>(static_cast<int64_t>(per_line));
    uint64_t lines = (length + per - 1) / per;
    if (lines == 0) lines = 1;
    const auto gw = static_cast<uint32_t>(font->glyph_width);
    if (width != nullptr) {
        const uint32_t chars =
            lines == 1 ? static_cast<uint32_t>(length) : static_cast<uint32_t>(per_line);
        *width = static_cast<int32_t>(gw * chars);
    }
    if (height != nullptr) {
        *height = static_cast<int32_t>(static_cast<uint32_t>(lines) *
                                       static_cast<uint32_t>(font->glyph_height));
    }
    return 0;
}
