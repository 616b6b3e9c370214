// particles: shows the particle field alone in the window, fed by a fountain that throws a
// few particles up from below the frame centre every frame. Escape or closing the window
// ends it, or --frames N after N frames. Run it from the directory that holds res/ (the
// field reads the tunnel texture).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli.h"
#include "core/clock.h"
#include "core/framebuffer.h"
#include "core/random.h"
#include "effects/particles.h"
#include "loaders/input.h"
#include "loaders/pcx.h"
#include "math/fixed.h"
#include "platform/sdl/window.h"
#include "render/raster.h"

namespace {

constexpr const char* kProgram = "particles";
constexpr const char* kUsage =
    "usage: particles [--frames N]\n"
    "Shows the particle field alone in an 800x480 window, fed by a fountain. Escape or\n"
    "closing the window ends it. Run it from the directory that holds res/ (it reads\n"
    "res/tunnel.pcx).\n"
    "  --frames N   end after N frames (at least 1); without it, run until ended\n"
    "  -h, --help   show this help\n";
constexpr const char* kTexturePath = "res/tunnel.pcx";

// Frames to show; 0 runs until Escape, the window closing or a signal.
uint64_t frame_limit = 0;
uint64_t frames_started = 0;

// A random value in -spread .. spread, in Fixed units.
Fixed jitter(int32_t spread) {
    return show_random() % (2 * spread + 1) - spread;
}

void fountain() {
    // Runs at the start of every frame, so when it starts frame N + 1, N have been shown.
    if (frame_limit != 0 && frames_started == frame_limit) std::exit(0);
    ++frames_started;
    for (int i = 0; i < 2; ++i)
        spawn_particle(jitter(0x8000), 0x100000, 0x180000, jitter(0x2000), -0x8000 + jitter(0x1000),
                       jitter(0x1000));
}

// The field alone (Escape, the window closing or a signal end it), with the fountain at the
// start of every frame.
void run_particle_demo() {
    for (;;) {
        fountain();
        clear_frame(COLOUR_BLACK);
        clear_depth();
        if (!update_particles()) return;
        present_frame();
        ++frame_count;
    }
}

// The texture is read before the window opens, so a missing or broken file is reported
// without one.
void load_texture() {
    tunnel_texture = pcx_load_texture(kTexturePath);
    if (tunnel_texture == nullptr)
        cli_fail(kProgram, "%s (run it from the directory that holds res/)", load_failure());
}

}  // namespace

int main(int argc, char** argv) {
    hold_exit_signals();
    CommandLine line = cli_start(kProgram, kUsage, argc, argv);
    while (cli_more(line)) {
        const char* arg = cli_next(&line);
        if (std::strcmp(arg, "--frames") == 0) {
            frame_limit = cli_whole(&line, arg, 1, UINT64_MAX);
        } else {
            cli_unexpected(line, arg);
        }
    }
    load_texture();
    init_display();
    run_particle_demo();
}
