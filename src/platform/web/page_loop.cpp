#include "platform/web/page_loop.h"

#include <emscripten.h>

namespace {

// Animation frames come at the display's rate. The show is made for about 60 frames a second
// (the intro counts frames), so on faster displays some are let pass; a frame may come a
// little early, as the browser's timestamps jitter.
constexpr double kFramePeriodMs = 1000.0 / 60;
constexpr double kEarlyMs = 4;

double next_frame_ms = 0;
void (*page_step)() = nullptr;

bool frame_due() {
    const double now = emscripten_get_now();
    if (now < next_frame_ms - kEarlyMs) return false;
    // Behind by more than a frame (a slow display or machine): start the cadence afresh.
    next_frame_ms = next_frame_ms + kFramePeriodMs < now ? now + kFramePeriodMs
                                                         : next_frame_ms + kFramePeriodMs;
    return true;
}

void animation_frame() {
    if (frame_due()) page_step();
}

}  // namespace

void page_loop_run(void (*step)()) {
    page_step = step;
    // 0: the browser's animation frames; 1: never return, as the program's main loop does not.
    emscripten_set_main_loop(animation_frame, 0, 1);
    __builtin_unreachable();
}
