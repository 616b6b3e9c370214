#include "platform/sdl/window.h"

#include <SDL.h>

#include <pthread.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/clock.h"
#include "core/expand.h"
#include "core/framebuffer.h"

namespace {

SDL_Surface* video_surface = nullptr;
SDL_Surface* expansion_surface = nullptr;
SurfacePalette expansion_colours;
uint32_t frame_stamp = 0;

// Set by the signal handler, acted on by present_frame. Exiting from the handler itself
// could run SDL_Quit while the interrupted thread holds the X display lock, and hang.
volatile std::sig_atomic_t exit_requested = 0;

void on_signal(int) {
    exit_requested = 1;
}

constexpr int kExitSignals[] = {SIGINT, SIGQUIT, SIGHUP, SIGTERM};

sigset_t exit_signal_set() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : kExitSignals) sigaddset(&set, signal);
    return set;
}

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "demo: %s: %s\n", what, SDL_GetError());
    std::exit(1);
}

void exit_if_requested() {
    if (exit_requested) std::exit(0);
}

// SDL may pick a driver that shows nothing when it finds no display; a user who did not ask
// for it should learn why no window appeared.
void report_invisible_driver() {
    if (std::getenv("SDL_VIDEODRIVER") != nullptr) return;
    char name[64] = "";
    if (SDL_VideoDriverName(name, sizeof name) == nullptr) return;
    if (std::strcmp(name, "offscreen") == 0 || std::strcmp(name, "dummy") == 0)
        std::fprintf(stderr,
                     "demo: no display found; SDL chose the '%s' video driver, "
                     "so no window is shown\n",
                     name);
}

void handle_events() {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if ((event.type == SDL_KEYUP && event.key.keysym.sym == SDLK_ESCAPE) ||
            event.type == SDL_QUIT)
            std::exit(0);
    }
}

}  // namespace

void init_display() {
    // Every subsystem, as before; an audio or other subsystem that cannot start must not
    // keep the show from running, so only the video subsystem is required.
    if (SDL_Init(SDL_INIT_EVERYTHING) < 0 && !SDL_WasInit(SDL_INIT_VIDEO)) {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_TIMER) < 0) fail("cannot initialise video");
    }
    std::atexit(SDL_Quit);

    video_surface = SDL_SetVideoMode(SCREEN_WIDTH, SCREEN_HEIGHT, 16, 0);
    if (video_surface == nullptr) fail("cannot set the 800x480 video mode");
    report_invisible_driver();

    expansion_surface = SDL_CreateRGBSurface(0, SCREEN_WIDTH, SCREEN_HEIGHT, 32, 0xFF000000,
                                             0x00FF0000, 0x0000FF00, 0);
    if (expansion_surface == nullptr) fail("cannot create the 800x480 frame surface");
    const SDL_PixelFormat* format = expansion_surface->format;
    make_surface_palette(format->Rmask, format->Gmask, format->Bmask, format->Amask,
                         &expansion_colours);

    frame_attach_storage();

    for (int signal : kExitSignals) std::signal(signal, on_signal);
    // Any signal held back so far is delivered now, to the handler.
    sigset_t set = exit_signal_set();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

void hold_exit_signals() {
    sigset_t set = exit_signal_set();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void present_frame() {
    exit_if_requested();
    if (frame_stamp == 0) frame_stamp = SDL_GetTicks();

    expand_frame(expansion_colours, framebuffer.pixels, framebuffer.width, framebuffer.height,
                 static_cast<uint32_t*>(expansion_surface->pixels), expansion_surface->pitch);
    SDL_BlitSurface(expansion_surface, nullptr, video_surface, nullptr);
    SDL_Flip(video_surface);

    if (pacing_delay(frame_stamp, SDL_GetTicks()) != 0) {
        // Measured again: the wait ends the frame 17 ms after its stamp.
        uint32_t wait = pacing_delay(frame_stamp, SDL_GetTicks());
        if (wait != 0) SDL_Delay(wait);
    }

    char line[64];
    format_fps_line(line, sizeof line, SDL_GetTicks() - frame_stamp);
    std::fputs(line, stderr);
    frame_stamp = SDL_GetTicks();

    handle_events();
    exit_if_requested();
}
