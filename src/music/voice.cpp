#include "music/voice.h"

void voice_init(Voice* voice, uint32_t rate) {
    voice->rate = rate;
    voice->step = 0x10000;
    voice->prev = 0;
    voice->next = 0;
    voice->frac = 0x10000;
    voice->block_pos = VOICE_BLOCK;
}

void voice_set_frequency(Voice* voice, uint32_t hz) {
    voice->step = static_cast<int32_t>((hz << 16) / voice->rate);
}

void voice_set_volume(Voice* voice, int32_t volume) {
    if (volume < 0) volume = 0;
    if (volume > VOICE_MAX_VOLUME) volume = VOICE_MAX_VOLUME;
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
    int8_t buffer[VOICE_BLOCK];
    voice->fetch(voice->fetch_data, buffer);
    for (int k = 0; k < VOICE_BLOCK; ++k) {
        // Shift through unsigned: a negative byte shifted left is fine in C++20, but this keeps
        // the intent (bit pattern b << 23) plain.
        voice->block[k] =
            static_cast<int32_t>(static_cast<uint32_t>(buffer[k]) << VOICE_SAMPLE_SHIFT);
    }
}

// The hot loop. Per output sample: interpolate, scale, add, move the position on. The
// interpolation slope and base change only when a source sample is crossed, so they are worked
// out there rather than per output sample; with steps below 1.0 that is once every 1.4 to 10
// output samples, in a pattern that repeats with the step and so predicts well.
void voice_mix(Voice* voice, int32_t* acc, int32_t count) {
    if (voice->fetch == nullptr) return;
    const int32_t s = voice->step;
    if (s == 0) {
        voice->prev = 0;
        voice->next = 0;
        return;
    }
    const int32_t volume = voice->volume;
    int32_t prev = voice->prev;
    int32_t next = voice->next;
    int32_t block_pos = voice->block_pos;
    // frac is carried unsigned: steps from very low output rates could otherwise overflow it.
    uint32_t frac = static_cast<uint32_t>(voice->frac);
    const int32_t* block = voice->block.data();
    int32_t d = (next - prev) >> 20;
    int32_t base = prev >> 15;
    for (int32_t i = 0; i < count; ++i) {
        acc[i] += (volume * (((d * static_cast<int32_t>(frac)) >> 11) + base)) >> 6;
        frac += static_cast<uint32_t>(s);
        if (frac > 0xFFFF) {
            block_pos += static_cast<int32_t>(frac >> 16);
            frac &= 0xFFFF;
            if (block_pos > VOICE_BLOCK - 1) {
                block_pos &= VOICE_BLOCK - 1;
                voice->block_pos = block_pos;
                voice_refill(voice);
            }
            prev = next;
            next = block[block_pos];
            d = (next - prev) >> 20;
            base = prev >> 15;
        }
    }
    voice->prev = prev;
    voice->next = next;
    voice->frac = static_cast<int32_t>(frac);
    voice->block_pos = block_pos;
}
