// The program in a web page: the show on the canvas with the music in an AudioWorklet, started
// when the viewer starts it (the page calls main then, as browsers let sound start only after a
// gesture) and stepped by the page's animation frames.
#include "demo/runner.h"
#include "platform/web/audio_link.h"
#include "platform/web/canvas.h"
#include "platform/web/page_loop.h"

namespace {

const ShowTarget kPage = {
    [](void*) { web_music_load(); },
    [](void*) { canvas_open(); },
    [](void*) { web_music_start(); },
    // The page plays the music on its own; each frame draws the tick being heard.
    [](void*) { follow_heard_tick(); },
    [](void*) { canvas_present(); },
    nullptr,
};

ShowRun run;

}  // namespace

int main() {
    if (show_start(&run, &kPage) < 0) return 1;
    page_loop_run([] { show_frame(&run); });
}
