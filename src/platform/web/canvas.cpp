// The display in a web page, over Emscripten's SDL 1.2: the video surface is the page's canvas
// (32 bits whatever depth is asked for, red first in memory). There is nothing to quit: no
// signals, no Escape, no window to close.
#include <SDL.h>
#include <emscripten.h>

#include <cstdio>
#include <cstdlib>

#include "platform/web/canvas.h"

#include "core/expand.h"
#include "core/framebuffer.h"

namespace {

SDL_Surface* video_surface = nullptr;
SurfacePalette canvas_colours;

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "demo: %s: %s\n", what, SDL_GetError());
    std::exit(1);
}

}  // namespace

void canvas_open() {
    if (video_surface != nullptr) return;
    if (SDL_Init(SDL_INIT_VIDEO) < 0) fail("cannot initialise video");
    // Every pixel is written each frame with its alpha set, so the canvas's old contents need
    // not be read back on lock, nor its alpha forced on unlock.
    EM_ASM({
        SDL.defaults.discardOnLock = true;
        SDL.defaults.opaqueFrontBuffer = false;
    });
    video_surface = SDL_SetVideoMode(SCREEN_WIDTH, SCREEN_HEIGHT, 16, 0);
    if (video_surface == nullptr) fail("cannot set the 800x480 video mode");
    const SDL_PixelFormat* format = video_surface->format;
    if (format->BytesPerPixel != 4 || video_surface->pitch < SCREEN_WIDTH * 4)
        fail("the canvas surface is not 32 bits per pixel");
    make_surface_palette(format->Rmask, format->Gmask, format->Bmask, format->Amask,
                         &canvas_colours);
    frame_attach_storage();
}

void canvas_present() {
    SDL_LockSurface(video_surface);
    expand_frame(canvas_colours, framebuffer.pixels, framebuffer.width, framebuffer.height,
                 static_cast<uint32_t*>(video_surface->pixels), video_surface->pitch);
    // Unlocking copies the pixels into the canvas.
    SDL_UnlockSurface(video_surface);
    SDL_Flip(video_surface);
    // Input means nothing here, but the queue must not grow.
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
    }
}
