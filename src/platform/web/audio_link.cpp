// The music's link to the page in the browser build, compiled there instead of the SDL device
// (platform/audio.cpp). The page plays the music in an AudioWorklet (web/music-link.js and
// web/music-worklet.js); the program only reads and checks the module, hands it over, says
// when the intro is over and asks which tick is being heard.
#include "platform/web/audio_link.h"

#include <emscripten.h>

#include <cstdlib>

#include "music/player.h"
#include "platform/audio.h"
#include "platform/clock.h"
#include "platform/music_source.h"

namespace {

constexpr const char* kMusicFile = "res/brumo.mod";
constexpr uint16_t kRate = 44100;

// A page without the music link (Module.music) plays silently and holds the first phase.
EM_JS(void, page_load_music, (const uint8_t* image, uint32_t size), {
    if (Module.music) Module.music.load(HEAPU8.slice(image >>> 0, (image >>> 0) + size).buffer);
});

EM_JS(void, page_start_music, (), {
    if (Module.music) Module.music.start();
});

EM_JS(double, page_heard_tick, (), { return Module.music ? Module.music.heardTick() : 0; });

}  // namespace

void start_music() {
    uint8_t* image = nullptr;
    uint32_t size = 0;
    // The same reading and checks as natively, with the same messages for a missing or refused
    // module. The player made for them is not needed: the worklet makes its own from a copy.
    ModPlayer* checked = load_music(kMusicFile, kRate, &image, &size);
    if (checked == nullptr) return;
    player_free(checked);
    page_load_music(image, size);
    std::free(image);
}

void start_audio() {
    page_start_music();
}

void follow_heard_tick() {
    tick_count.store(static_cast<uint32_t>(page_heard_tick()), std::memory_order_relaxed);
}
