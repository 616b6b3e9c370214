#include "demo/show.h"

#include <cstdio>

#include "core/clock.h"
#include "core/framebuffer.h"
#include "demo/assets.h"
#include "demo/timeline.h"
#include "effects/burst.h"
#include "math/matrix.h"
#include "math/trig.h"
#include "render/raster.h"

Model* pumpkin_model = nullptr;
SceneNode* main_root = nullptr;
SceneNode* tilt_node = nullptr;
SceneNode* pulse_node = nullptr;
SceneNode* pumpkin_node = nullptr;
JitterText* word_groups[WORD_GROUPS] = {};

namespace {

constexpr const char* kPumpkinPath = "res/pumpkin.obj";
constexpr int32_t kPumpkinScale = 64;

// Where the pumpkin stands: right of and below the frame centre, 180 units away.
constexpr Fixed kPumpkinX = 0x3C0000;
constexpr Fixed kPumpkinY = 0x320000;
constexpr Fixed kPumpkinZ = 0xB40000;
constexpr int32_t kBobUnits = 10;

// The figures rise from close to the pumpkin's centre on screen.
constexpr Fixed kFigureX = 0xAF000;
constexpr Fixed kFigureY = 0x4D000;
constexpr Fixed kFigureFlapRate = 0x20000;
constexpr Fixed kFigureSize = 0x20000;
constexpr int32_t kFigureStep = 32;

struct WordGroup {
    const char* word;
    int32_t x, y, x_range, y_range, hold;
};
constexpr WordGroup kWordGroups[WORD_GROUPS] = {
    {"laskig", 10, 30, 6, 6, 5},  {"pumpa", 10, 60, 6, 4, 5},  {"..", 20, 0, 6, 6, 5},
    {"saftig", 10, 100, 8, 6, 5}, {"rumpa", 10, 130, 8, 6, 5},
};

uint32_t read_tick() {
    return tick_count.load(std::memory_order_relaxed);
}

}  // namespace

int load_pumpkin() {
    std::puts("Loading resources...");
    pumpkin_model = load_required_model(kPumpkinPath, kPumpkinScale);
    return pumpkin_model == nullptr ? report_load_failure(kPumpkinPath) : 0;
}

int build_main_scene() {
    main_root = show_group(nullptr);
    if (main_root == nullptr) return -1;
    matrix_set_translation(&main_root->local, 0, 0, kPumpkinZ);
    tilt_node = show_group(main_root);
    pulse_node = show_group(tilt_node);
    if (pulse_node == nullptr) return -1;
    matrix_set_translation(&pulse_node->local, 0, 0, 0);
    pumpkin_node = show_mesh(pulse_node, &pumpkin_model->mesh);
    if (pumpkin_node == nullptr) return -1;
    matrix_set_translation(&pumpkin_node->local, 0, 0, 0);
    return 0;
}

int create_word_groups() {
    for (int i = 0; i < WORD_GROUPS; ++i) {
        const WordGroup& g = kWordGroups[i];
        word_groups[i] = create_jitter_text(demo_font, g.x, g.y, g.x_range, g.y_range, g.hold);
        if (word_groups[i] == nullptr) return -1;
        jitter_text_add_word(word_groups[i], g.word);
    }
    return 0;
}

void release_main_scene() {
    for (JitterText*& group : word_groups) {
        if (group != nullptr) clear_jitter_letters(group);
        free_jitter_text(group);
        group = nullptr;
    }
    free_scene(main_root);  // the pumpkin's node and the groups above it
    main_root = tilt_node = pulse_node = pumpkin_node = nullptr;
    free_model(pumpkin_model);
    pumpkin_model = nullptr;
}

void draw_main_frame(MainLoopState* state) {
    switch (show_phase(read_tick())) {
        case PHASE_TURN:
            matrix_set_translation(&main_root->local, kPumpkinX, kPumpkinY, kPumpkinZ);
            state->turn = state->tick_angle / 4;
            state->turn_copy = state->turn;
            matrix_rotation_y(&pumpkin_node->local, state->turn);
            matrix_rotation_x(&tilt_node->local, 0);
            break;
        case PHASE_TILT:
            matrix_set_translation(&main_root->local, kPumpkinX, kPumpkinY, kPumpkinZ);
            matrix_rotation_y(&pumpkin_node->local, state->turn);
            state->tilt = wrap_sub(state->turn_copy, state->tick_angle / 4);
            matrix_rotation_x(&tilt_node->local, state->tilt);
            break;
        case PHASE_PULSE: {
            const Fixed s = beat_sine(state->angle_tick);
            matrix_set_translation(&main_root->local, kPumpkinX,
                                   wrap_add(kPumpkinY, wrap_mul(kBobUnits, s)), kPumpkinZ);
            // The width swells from 1.0 to 1.5 with the beat.
            matrix_scaling(&pulse_node->local, ((s + FIXED_ONE) >> 2) + FIXED_ONE, FIXED_ONE,
                           FIXED_ONE);
            matrix_rotation_y(&pumpkin_node->local, state->turn);
            matrix_rotation_x(&tilt_node->local, state->tilt);
            break;
        }
    }
    render_transform(main_root);
    clear_frame(is_flash_tick(read_tick()) ? COLOUR_WHITE : COLOUR_BLACK);
    clear_depth();
    render_draw(main_root, DRAW_FILLED);
    update_bursts(kFigureStep);
    if (first_words_shown(read_tick())) {
        for (int i = 0; i < 3; ++i) update_jitter_text(word_groups[i]);
    } else {
        for (int i = 3; i < WORD_GROUPS; ++i) update_jitter_text(word_groups[i]);
    }
}

void finish_main_frame(MainLoopState* state) {
    state->angle_tick = read_tick();
    state->tick_angle = tick_angle(state->angle_tick);
    if (figure_due(read_tick(), &state->burst_latch))
        spawn_burst(kFigureX, kFigureY, 0, kFigureFlapRate, kFigureSize);
    ++frame_count;
}
