#include "demo/intro.h"

#include <cstdio>

#include "core/clock.h"
#include "core/framebuffer.h"
#include "demo/assets.h"
#include "math/matrix.h"
#include "math/trig.h"
#include "render/raster.h"
#include "text/font.h"

Model* intro_cube = nullptr;
TextObject* intro_texts[2] = {nullptr, nullptr};
SceneNode* intro_root = nullptr;
SceneNode* intro_group = nullptr;
SceneNode* intro_mesh_node = nullptr;

namespace {

constexpr const char* kCubePath = "res/cube.obj";
constexpr const char* kWords[2] = {"Proudly", "Presents"};
constexpr uint64_t kTextCapacity = 128;
constexpr uint32_t kTextWrap = 400;
constexpr int32_t kLineSpacing = 50;
constexpr Fixed kCubeDistance = 0xB40000;  // 180.0 in front of the viewer
constexpr Fixed kCubeRestY = 0xA0000;      // 10.0 below the centre line
constexpr Fixed kPhaseStep = 0x4000;       // a quarter degree per frame: 2 degrees of bob
constexpr Fixed kPhaseLast = 0x167FFFF;    // just below a full turn

}  // namespace

int load_intro_resources() {
    std::puts("Loading resources...");
    std::puts(" - base");
    intro_cube = load_required_model(kCubePath, 1);
    if (intro_cube == nullptr) return report_load_failure(kCubePath);

    for (int i = 0; i < 2; ++i) {
        int32_t w = text_width(demo_font, kWords[i]);
        intro_texts[i] =
            create_text(demo_font, kTextCapacity, kTextWrap, 200 - w / 2, kLineSpacing * i);
        if (intro_texts[i] == nullptr) return -1;
        append_text(intro_texts[i], kWords[i]);
    }

    intro_root = show_group(nullptr);
    if (intro_root == nullptr) return -1;
    matrix_set_translation(&intro_root->local, 0, 0, kCubeDistance);
    intro_group = show_group(intro_root);
    if (intro_group == nullptr) return -1;
    intro_mesh_node = show_mesh(intro_group, &intro_cube->mesh);
    if (intro_mesh_node == nullptr) return -1;
    matrix_set_translation(&intro_mesh_node->local, 0, 0, 0);
    return 0;
}

void release_intro() {
    free_scene(intro_root);
    intro_root = intro_group = intro_mesh_node = nullptr;
    for (TextObject*& text : intro_texts) {
        free_text(text);
        text = nullptr;
    }
    free_model(intro_cube);
    intro_cube = nullptr;
}

bool intro_running() {
    return frame_count + 1 <= INTRO_FRAMES - 1;
}

void draw_intro_frame(IntroState* state) {
    // The bob angle is phase x 8: two degrees per frame.
    const Fixed b = deg_sin(wrap_mul(state->phase, 8));
    matrix_set_translation(&intro_root->local, 0, wrap_sub(kCubeRestY, wrap_mul(20, b)),
                           kCubeDistance);
    // One degree per frame; -1 degree in the first frame, where frame_count is 0xFFFFFFFF.
    matrix_rotation_y(&intro_group->local, static_cast<Fixed>(frame_count << 16));
    render_transform(intro_root);
    clear_frame(COLOUR_BLACK);
    clear_depth();
    render_draw(intro_root, DRAW_FILLED);
    set_draw_colour(COLOUR_WHITE);
    draw_text(intro_texts[0]);
    draw_text(intro_texts[1]);
    state->phase = wrap_add(state->phase, kPhaseStep);
    if (state->phase > kPhaseLast) state->phase = 0;
}
