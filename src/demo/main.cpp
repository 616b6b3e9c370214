// The program entry: loads everything in a fixed order, opens the window, plays the intro
// and then the endless main scene in step with the music. Arguments are ignored.
#include <cstdio>
#include <cstdlib>

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

    run_intro();
    start_audio();

    MainLoopState state{};
    for (;;) {
        draw_main_frame(&state);
        present_frame();
        finish_main_frame(&state);
    }
}
