#include "demo/assets.h"

#include <cstdio>

#include "loaders/input.h"

Font* demo_font = nullptr;

SceneNode* show_group(SceneNode* parent) {
    SceneNode* node = parent != nullptr ? create_group_node(parent) : create_root_node();
    if (node != nullptr) node->transform_mode = TRANSFORM_COMPOSE;
    return node;
}

SceneNode* show_mesh(SceneNode* parent, Mesh* mesh) {
    SceneNode* node = create_mesh_node(parent, mesh);
    if (node != nullptr) node->transform_mode = TRANSFORM_COMPOSE;
    return node;
}

int create_demo_font() {
    demo_font = create_font(font_glyphs, FONT_GLYPH_SIZE, FONT_GLYPH_SIZE);
    return demo_font != nullptr ? 0 : report_out_of_memory();
}

int report_out_of_memory() {
    std::fputs("demo: out of memory\n", stderr);
    return -1;
}

int report_load_failure(const char* path) {
    const char* failure = load_failure();
    if (failure[0] != '\0') {
        std::fprintf(stderr, "demo: %s\n", failure);
    } else {
        std::fprintf(stderr, "demo: %s: cannot load (out of memory)\n", path);
    }
    return -1;
}
