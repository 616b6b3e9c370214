// The mixing loop: the four voices into two 32-bit planes, in runs that end exactly at tick
// boundaries, and the conversions to interleaved device formats.
#include <algorithm>
#include <array>
#include <cstring>

#include "music/module.h"
#include "music/samples.h"
#include "music/sequencer.h"

namespace {

// Frames rendered per internal pass of player_render_s16 and player_render_u8: their stack use
// is bounded by it whatever n is asked for.
constexpr int32_t RENDER_CHUNK = 1024;

// A cut-off note is mixed only while its fade lasts.
void mix_fade(ModPlayer* player, int c, int32_t* acc, int32_t run) {
    Voice* fade = &player->fades[c].voice;
    if (fade->ramp_left == 0) return;
    voice_mix(fade, acc, std::min(run, fade->ramp_left));
    player->faded = 1;
}

}  // namespace

void player_render(ModPlayer* player, int32_t* acc, int32_t n) {
    if (n <= 0) return;
    std::memset(acc, 0, sizeof(int32_t) * 2 * static_cast<size_t>(n));
    player->faded = 0;
    if (player->ended) return;
    int32_t* left = acc;
    int32_t* right = acc + n;
    int32_t i = 0;
    while (i < n) {
        player_fade_silenced(player);
        const int32_t run =
            std::min<int32_t>(player->samples_per_tick - player->tick_sample_pos, n - i);
        voice_mix(&player->voices[0], left + i, run);
        voice_mix(&player->voices[3], left + i, run);
        voice_mix(&player->voices[1], right + i, run);
        voice_mix(&player->voices[2], right + i, run);
        mix_fade(player, 0, left + i, run);
        mix_fade(player, 3, left + i, run);
        mix_fade(player, 1, right + i, run);
        mix_fade(player, 2, right + i, run);
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

// Interleaves two planes into out as (plane >> shift) + bias, each kept to type T. Two voices
// at full scale halve into -32768..32512 and need no limit; only a note fading out under a new
// one can reach past that, so the limits are applied only when a fade was mixed.
template <typename T>
void interleave(const int32_t* left, const int32_t* right, int32_t count, T* out, int shift,
                int32_t low, int32_t high, int32_t bias, bool limit) {
    if (limit) {
        for (int32_t i = 0; i < count; ++i) {
            out[2 * i] = static_cast<T>(std::clamp(left[i] >> shift, low, high) + bias);
            out[2 * i + 1] = static_cast<T>(std::clamp(right[i] >> shift, low, high) + bias);
        }
    } else {
        for (int32_t i = 0; i < count; ++i) {
            out[2 * i] = static_cast<T>((left[i] >> shift) + bias);
            out[2 * i + 1] = static_cast<T>((right[i] >> shift) + bias);
        }
    }
}

}  // namespace

void player_render_s16(ModPlayer* player, int16_t* out, int32_t n) {
    render_chunked(
        player, n,
        [out, player](const int32_t* left, const int32_t* right, int32_t at, int32_t count) {
            interleave(left, right, count, out + 2 * static_cast<size_t>(at), 1, INT16_MIN,
                       INT16_MAX, 0, player->faded != 0);
        });
}

void player_render_u8(ModPlayer* player, uint8_t* out, int32_t n) {
    // 128 is silence: (acc >> 9) + 128, kept to 8 bits.
    render_chunked(
        player, n,
        [out, player](const int32_t* left, const int32_t* right, int32_t at, int32_t count) {
            interleave(left, right, count, out + 2 * static_cast<size_t>(at), 9, INT8_MIN, INT8_MAX,
                       128, player->faded != 0);
        });
}
