#include "music/voice.h"

#include <algorithm>

#include "music/voice_mix.h"

void voice_init(Voice* voice, uint32_t rate) {
    voice->rate = rate;
    voice->step = 0x10000;
    voice->prev = 0;
    voice->next = 0;
    voice->frac = 0x10000;
    voice->block_pos = VOICE_BLOCK;
    voice->ramp_length = 0;
    voice->ramp_left = 0;
}

void voice_set_frequency(Voice* voice, uint32_t hz) {
    const auto step = static_cast<int32_t>((hz << 16) / voice->rate);
    // A voice that has fallen silent (its step 0 and its interval reset) sounds again from where
    // it stands: with ramping it rises from silence instead of jumping to its level.
    if (voice->step == 0 && voice->prev == 0 && voice->next == 0 && step != 0) voice_fade_in(voice);
    voice->step = step;
}

void voice_set_volume(Voice* voice, int32_t volume) {
    volume = std::clamp(volume, 0, VOICE_MAX_VOLUME);
    if (volume != voice->volume) voice_ramp_volume(voice, volume, voice->ramp_length);
}

void voice_fade_in(Voice* voice) {
    if (voice->ramp_length == 0) return;
    const int32_t volume = voice->volume;
    voice_ramp_volume(voice, 0, 0);
    voice_ramp_volume(voice, volume, voice->ramp_length);
}

int32_t voice_current_volume(const Voice* voice) {
    return voice->ramp_left > 0 ? voice->ramp_volume : voice->volume << VOICE_VOLUME_SHIFT;
}

void voice_ramp_volume(Voice* voice, int32_t volume, int32_t length) {
    const int32_t target = volume << VOICE_VOLUME_SHIFT;
    if (length > 0) {
        voice->ramp_volume = voice_current_volume(voice);
        voice->ramp_delta = (target - voice->ramp_volume) / length;
    }
    voice->ramp_left = std::max(length, 0);
    voice->volume = volume;
}

void voice_set_fetch(Voice* voice, VoiceFetchFn fetch, void* data) {
    voice->fetch = fetch;
    voice->fetch_data = data;
}

void voice_restart(Voice* voice) {
    voice->block_pos = VOICE_BLOCK;
}

void voice_start_note(Voice* voice) {
    voice->block_pos = VOICE_BLOCK;
    voice->prev = 0;
    voice->next = 0;
}

void voice_refill(Voice* voice) {
    voice_fetch_block(voice);
}

namespace {

// The plain loop, one output sample at a time. Per output sample: interpolate, scale, add, move
// the position on. The interpolation slope and base change only when a source sample is
// crossed, so they are worked out there rather than per output sample.
void mix_plain(Voice* voice, int32_t s, int32_t* acc, int32_t count, int32_t volume,
               int32_t delta) {
    int32_t prev = voice->prev;
    int32_t next = voice->next;
    int32_t block_pos = voice->block_pos;
    // frac is carried unsigned: steps from very low output rates could otherwise overflow it.
    uint32_t frac = static_cast<uint32_t>(voice->frac);
    const int32_t* block = voice->block.data();
    int32_t slope = (next - prev) >> 20;
    int32_t base = prev >> 15;
    for (int32_t i = 0; i < count; ++i) {
        acc[i] += voice_scale(volume, voice_interpolate(slope, base, static_cast<int32_t>(frac)));
        volume += delta;
        frac += static_cast<uint32_t>(s);
        if (frac > 0xFFFF) {
            block_pos += static_cast<int32_t>(frac >> 16);
            frac &= 0xFFFF;
            if (block_pos > VOICE_BLOCK - 1) {
                block_pos &= VOICE_BLOCK - 1;
                voice->block_pos = block_pos;
                voice_fetch_block(voice);
            }
            prev = next;
            next = block[block_pos];
            slope = (next - prev) >> 20;
            base = prev >> 15;
        }
    }
    voice->prev = prev;
    voice->next = next;
    voice->frac = static_cast<int32_t>(frac);
    voice->block_pos = block_pos;
}

// `count` samples at a volume that starts at `volume` and moves by `delta` after each: the wide
// loop where it applies, else the plain one.
void mix_span(Voice* voice, int32_t s, int32_t* acc, int32_t count, int32_t volume, int32_t delta) {
    // Steps of 1.0 and above (and the negative ones absurdly low output rates can give) take the
    // plain loop.
    if (count > 0 && static_cast<uint32_t>(s) < 0x10000 && voice_wide_available()) {
        if (voice->frac > 0xFFFF) {  // right after voice_init: one plain step brings it in range
            mix_plain(voice, s, acc, 1, volume, delta);
            ++acc;
            --count;
            volume += delta;
        }
        voice_mix_wide(voice, static_cast<uint32_t>(s), acc, count, volume, delta);
        return;
    }
    mix_plain(voice, s, acc, count, volume, delta);
}

}  // namespace

void voice_mix(Voice* voice, int32_t* acc, int32_t count) {
    if (voice->fetch == nullptr) return;
    // The step is read once: a fetch during this call may set a new frequency (0 when a sample
    // runs out), which takes effect at the next call.
    const int32_t s = voice->step;
    if (s == 0) {
        voice->prev = 0;
        voice->next = 0;
        return;
    }
    voice->last_step = s;
    if (voice->ramp_left > 0 && count > 0) {
        const int32_t n = std::min(count, voice->ramp_left);
        mix_span(voice, s, acc, n, voice->ramp_volume, voice->ramp_delta);
        voice->ramp_volume += n * voice->ramp_delta;
        voice->ramp_left -= n;
        acc += n;
        count -= n;
    }
    mix_span(voice, s, acc, count, voice->volume << VOICE_VOLUME_SHIFT, 0);
}
