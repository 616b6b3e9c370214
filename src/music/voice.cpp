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

// The hot loop. Per output sample: interpolate, scale, add; then move the position on. The
// advance is written without a data-dependent branch: whether the position crossed a source
// sample changes from sample to sample in no pattern a predictor can follow, so prev and next
// are chosen by selects instead. The block index used for the load is masked because
// block_pos may stand at 256 (used up) while no sample has been crossed yet; that load's
// value is then discarded. The refill branch is taken once per 256 source samples.
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
    for (int32_t i = 0; i < count; ++i) {
        int32_t d = (next - prev) >> 20;
        d = (d * static_cast<int32_t>(frac)) >> 11;
        const int32_t x = d + (prev >> 15);
        acc[i] += (volume * x) >> 6;
        frac += static_cast<uint32_t>(s);
        const int32_t crossed = static_cast<int32_t>(frac >> 16);
        frac &= 0xFFFF;
        block_pos += crossed;
        if (block_pos > VOICE_BLOCK - 1 && crossed != 0) {
            block_pos &= VOICE_BLOCK - 1;
            voice->block_pos = block_pos;
            voice_refill(voice);
        }
        const int32_t fetched = block[block_pos & (VOICE_BLOCK - 1)];
        prev = crossed != 0 ? next : prev;
        next = crossed != 0 ? fetched : next;
    }
    voice->prev = prev;
    voice->next = next;
    voice->frac = static_cast<int32_t>(frac);
    voice->block_pos = block_pos;
}
