#include "platform/web/audio_link.h"

#include <emscripten.h>

#include <cstdlib>

#include "core/clock.h"
#include "core/music_source.h"
#include "music/player.h"

namespace {

// A page without the music link (Module.music) plays silently and holds the first phase.
EM_JS(void, page_load_music, (const uint8_t* image, uint32_t size), {
    if (Module.music) Module.music.load(HEAPU8.slice(image >>> 0, (image >>> 0) + size).buffer);
});

EM_JS(void, page_start_music, (), {
    if (Module.music) Module.music.start();
});

EM_JS(double, page_heard_tick, (), { return Module.music ? Module.music.heardTick() : 0; });

}  // namespace

void web_music_load() {
    uint8_t* image = nullptr;
    uint32_t size = 0;
    // The same reading and checks as natively, with the same messages for a missing or refused
    // module. The player made for them is not needed: the worklet makes its own from a copy.
    ModPlayer* checked = load_music(MUSIC_PATH, MUSIC_RATE, &image, &size);
    if (checked == nullptr) return;
    player_free(checked);
    page_load_music(image, size);
    std::free(image);
}

void web_music_start() {
    page_start_music();
}

void follow_heard_tick() {
    tick_count.store(static_cast<uint32_t>(page_heard_tick()), std::memory_order_relaxed);
}
