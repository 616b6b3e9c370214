// app: the program's entries, one per target, each wiring the runner to its platform.
//
// The program on Linux: the show in an SDL window with the music on the sound device.
// Arguments are ignored.
#include "demo/runner.h"
#include "platform/sdl/audio.h"
#include "platform/sdl/window.h"

namespace {

const ShowTarget kWindow = {
    [](void*) { start_music(); },
    [](void*) { init_display(); },
    [](void*) { start_audio(); },
    nullptr,  // the clock is the device callback's tick count
    [](void*) { present_frame(); },
    nullptr,
};

}  // namespace

int main() {
    hold_exit_signals();
    ShowRun run;
    // Nothing is shown until every resource is in hand; the line saying which file is at
    // fault has been printed.
    if (show_start(&run, &kWindow) < 0) return 1;
    for (;;) show_frame(&run);
}
