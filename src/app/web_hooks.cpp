// What the page exports besides the show, for checking it in a browser: the tick the picture
// draws (the one heard, by the page's estimate), any frame of the show drawn exactly as the
// capture tool draws it, and the cost of a main-scene frame measured as the native frame
// benchmark measures it.
#include <emscripten.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/clock.h"
#include "core/expand.h"
#include "core/framebuffer.h"
#include "demo/headless.h"
#include "platform/web/canvas.h"

namespace {

HeadlessShow still_show;
bool still_started = false;
constexpr int32_t kWarmUpFrames = 100;

}  // namespace

// The timed frames' destination: visible outside this file, so that the expansion into it
// cannot be optimised away.
extern uint32_t web_cost_surface[SCREEN_WIDTH * SCREEN_HEIGHT];
uint32_t web_cost_surface[SCREEN_WIDTH * SCREEN_HEIGHT];

extern "C" {

// The tick the latest frame was drawn at.
EMSCRIPTEN_KEEPALIVE uint32_t web_tick_count() {
    return tick_count.load(std::memory_order_relaxed);
}

// Draws frame k of the show headless (music rendered in memory up to its time) and presents
// it on the canvas. Frames asked for in rising order continue one run; an earlier frame
// starts the show again. Returns the frame's tick count, or -1 when res/ cannot be loaded.
// Not to be mixed with the running show: both use the same scene and clocks.
EMSCRIPTEN_KEEPALIVE int32_t web_show_frame(uint32_t k) {
    canvas_open();
    if (!still_started || still_show.frame > k) {
        if (headless_start(&still_show, nullptr, nullptr, nullptr) < 0) return -1;
        still_started = true;
    }
    while (still_show.frame <= k) headless_next_frame(&still_show);
    canvas_present();
    // The tick it was drawn at: the clock has moved on to the next frame's time since.
    return static_cast<int32_t>(still_show.drawn_tick);
}

// Plays a fresh show into phase 3 (tick 1100), then, after 100 untimed frames, times `frames`
// main-scene frames with figures flying, walking the beat one tick a frame: the frame functions and
// the expansion into a canvas-layout surface, not the canvas update. Writes each frame's cost in
// microseconds to costs and returns the median, or -1 when res/ cannot be loaded.
EMSCRIPTEN_KEEPALIVE double web_frame_cost(int32_t frames, double* costs) {
    // The still frames' show plays on from here, so the next still starts it again.
    still_started = false;
    HeadlessShow& show = still_show;
    if (frames <= 0 || headless_start(&show, nullptr, nullptr, nullptr) < 0 ||
        !headless_play_to_tick(&show, 1100))
        return -1;
    SurfacePalette colours;
    make_surface_palette(0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000, &colours);
    uint32_t tick = 1100;
    // Untimed frames first: the browser compiles the hot code again, optimised, as it runs.
    for (int32_t i = -kWarmUpFrames; i < frames; ++i) {
        const double start = emscripten_get_now();
        tick_count.store(tick++);
        draw_main_frame(&show.run.main);
        expand_frame(colours, framebuffer.pixels, FRAME_WIDTH, FRAME_HEIGHT, web_cost_surface,
                     SCREEN_WIDTH * 4);
        finish_main_frame(&show.run.main);
        if (i >= 0) costs[i] = 1000.0 * (emscripten_get_now() - start);
    }
    std::vector<double> sorted(costs, costs + frames);
    std::nth_element(sorted.begin(), sorted.begin() + frames / 2, sorted.end());
    return sorted[frames / 2];
}

}  // extern "C"
