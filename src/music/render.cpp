// The mixing loop: the four voices into two 32-bit planes, in runs that end exactly at tick
// boundaries, and the conversions to interleaved device formats.
#include <algorithm>
#include <array>
#include <cstring>

#include "music/player.h"

void player_render(ModPlayer* player, int32_t* acc, int32_t n) {
    if (n <= 0) return;
    std::memset(acc, 0, sizeof(int32_t) * 2 * static_cast<size_t>(n));
    if (player->ended) return;
    int32_t* left = acc;
    int32_t* right = acc + n;
    int32_t i = 0;
    while (i < n) {
        const int32_t run =
            std::min<int32_t>(player->samples_per_tick - player->tick_sample_pos, n - i);
        voice_mix(&player->voices[0], left + i, run);
        voice_mix(&player->voices[3], left + i, run);
        voice_mix(&player->voices[1], right + i, run);
        voice_mix(&player->voices[2], right + i, run);
        player->tick_sample_pos = static_cast<uint16_t>(player->tick_sample_pos + run);
        i += run;
        if (player->tick_sample_pos < player->samples_per_tick) break;
        player_end_tick(player);
        if (player->ended) break;
    }
}

namespace {

// Renders n frames in passes of at most RENDER_CHUNK, handing each pass's planes to `convert`
// along with the frame offset, so the accumulators stay a fixed 8 KiB on the stack.
template <typename Convert>
void render_chunked(ModPlayer* player, int32_t n, Convert convert) {
    std::array<int32_t, 2 * RENDER_CHUNK> acc;
    for (int32_t done = 0; done < n;) {
        const int32_t count = std::min(n - done, RENDER_CHUNK);
        player_render(player, acc.data(), count);
        convert(acc.data(), acc.data() + count, done, count);
        done += count;
    }
}

}  // namespace

void player_render_s16(ModPlayer* player, int16_t* out, int32_t n) {
    render_chunked(player, n,
                   [out](const int32_t* left, const int32_t* right, int32_t at, int32_t count) {
                       int16_t* o = out + 2 * static_cast<size_t>(at);
                       for (int32_t i = 0; i < count; ++i) {
                           // No saturation: two full-scale voices halve into -32768..32512.
                           o[2 * i] = static_cast<int16_t>(left[i] >> 1);
                           o[2 * i + 1] = static_cast<int16_t>(right[i] >> 1);
                       }
                   });
}

void player_render_u8(ModPlayer* player, uint8_t* out, int32_t n) {
    render_chunked(player, n,
                   [out](const int32_t* left, const int32_t* right, int32_t at, int32_t count) {
                       uint8_t* o = out + 2 * static_cast<size_t>(at);
                       for (int32_t i = 0; i < count; ++i) {
                           o[2 * i] = static_cast<uint8_t>((left[i] >> 9) - 128);
                           o[2 * i + 1] = static_cast<uint8_t>((right[i] >> 9) - 128);
                       }
                   });
}
