#include "demo/loops.h"

#include "effects/particles.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/framebuffer.h"
#include "render/raster.h"

void intro_frame(IntroState* state) {
    draw_intro_frame(state);
    present_frame();
    ++frame_count;
}

void run_intro() {
    IntroState state{};
    while (intro_running()) intro_frame(&state);
}

void main_frame(MainLoopState* state) {
    draw_main_frame(state);
    present_frame();
    finish_main_frame(state);
}

void run_particle_demo(void (*before_frame)()) {
    for (;;) {
        if (before_frame != nullptr) before_frame();
        clear_frame(COLOUR_BLACK);
        clear_depth();
        if (!update_particles()) return;
        present_frame();
        ++frame_count;
    }
}
