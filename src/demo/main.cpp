// The program entry: loads everything in a fixed order, opens the window, plays the intro
// and then the endless main scene in step with the music. Arguments are ignored.
//
// In a web page the same start-up runs when the viewer starts the show, and the browser then
// calls one frame at a time: it must get control back after each, and its animation frame
// paces them.
#include <cstdio>
#include <cstdlib>

#if defined(__EMSCRIPTEN__)
#include <emscripten.h>

#include "platform/web/audio_link.h"
#endif

#include "demo/loops.h"
#include "demo/show.h"
#include "math/matrix.h"
#include "platform/audio.h"
#include "platform/display.h"
#include "platform/framebuffer.h"

namespace {

// Nothing is shown until every resource is in hand; a missing one ends the program before
// the window opens. The loaders have already said which file it was.
void require(int result) {
    if (result < 0) std::exit(1);
}

#if defined(__EMSCRIPTEN__)
IntroState intro_state{};
MainLoopState main_state{};
bool music_started = false;

// Animation frames come at the display's rate. The show is made for about 60 frames a second
// (the intro counts frames), so on faster displays some are let pass; a frame may come a
// little early, as the browser's timestamps jitter.
constexpr double kFramePeriodMs = 1000.0 / 60;
constexpr double kEarlyMs = 4;
double next_frame_ms = 0;

bool frame_due() {
    const double now = emscripten_get_now();
    if (now < next_frame_ms - kEarlyMs) return false;
    // Behind by more than a frame (a slow display or machine): start the cadence afresh.
    next_frame_ms = next_frame_ms + kFramePeriodMs < now ? now + kFramePeriodMs
                                                         : next_frame_ms + kFramePeriodMs;
    return true;
}

// The loops below, one frame per call: the intro, then the music starts, then the main scene.
void browser_frame() {
    if (!frame_due()) return;
    if (intro_running()) {
        intro_frame(&intro_state);
        return;
    }
    if (!music_started) {
        start_audio();
        music_started = true;
    }
    // The page plays the music on its own; the show draws the tick being heard.
    follow_heard_tick();
    main_frame(&main_state);
}
#endif

}  // namespace

int main() {
    hold_exit_signals();
    require(load_show_resources());
    start_music();
    require(build_main_scene());
    init_display();
    clear_frame(COLOUR_BLACK);
    matrix_reset();
    require(create_word_groups());

#if defined(__EMSCRIPTEN__)
    emscripten_set_main_loop(browser_frame, 0, 1);
#else
    run_intro();
    start_audio();

    MainLoopState state{};
    for (;;) main_frame(&state);
#endif
}
