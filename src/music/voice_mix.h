// The voice's mixing loops, shared by the plain loop (voice.cpp) and the wide one
// (voice_wide.cpp): the interpolation both use and the wide loop's entry.
#pragma once

#include <cstdint>

#include "music/voice.h"

// The sample between two source samples (each << 23) at position frac (0..0xFFFF) of the
// interval, on a 16-bit scale: slope = (to - from) >> 20 and base = from >> 15, worked out once
// per interval.
inline int32_t voice_interpolate(int32_t slope, int32_t base, int32_t frac) {
    return ((slope * frac) >> 11) + base;
}

// A sample scaled by a volume << VOICE_VOLUME_SHIFT.
inline int32_t voice_scale(int32_t volume, int32_t x) {
    return (volume * x) >> (6 + VOICE_VOLUME_SHIFT);
}

// voice_refill, inline so that each loop gets the conversion compiled for its own instructions.
inline void voice_fetch_block(Voice* voice) {
    int8_t buffer[VOICE_BLOCK];
    voice->fetch(voice->fetch_data, buffer);
    for (int k = 0; k < VOICE_BLOCK; ++k) {
        // Shift through unsigned: a negative byte shifted left is fine in C++20, but this keeps
        // the intent (bit pattern b << 23) plain.
        voice->block[k] =
            static_cast<int32_t>(static_cast<uint32_t>(buffer[k]) << VOICE_SAMPLE_SHIFT);
    }
}

// Whether this processor runs the wide loop (x86-64 with AVX2), decided once.
bool voice_wide_available();

// The wide loop: mixes `count` output samples eight at a time, with the same arithmetic as the
// plain loop and so the same output bit for bit. Needs a step below 1.0 (every rate the player
// runs at: the highest note is 33 kHz) and frac within 0..0xFFFF. The volume starts at `volume`
// and moves by `delta` after each sample.
void voice_mix_wide(Voice* voice, uint32_t step, int32_t* acc, int32_t count, int32_t volume,
                    int32_t delta);
