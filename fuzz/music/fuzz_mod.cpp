// Any bytes as a module image: load it and render three seconds, looping, as the device would.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "music/player.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A copy of exactly `size` bytes, so any read past the image is caught.
    std::vector<uint8_t> image(data, data + size);
    ModPlayer* p = player_create(44100, image.data(), static_cast<uint32_t>(size));
    if (p == nullptr) return 0;
    player_set_looping(p, size % 2 == 0);
    int16_t out[2 * 1024];
    for (int32_t frames = 0; frames < 3 * 44100 && !player_has_ended(p); frames += 1024) {
        player_render_s16(p, out, 1024);
    }
    player_free(p);
    return 0;
}
