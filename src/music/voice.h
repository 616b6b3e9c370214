// Voice: one resampling channel. It steps through a stream of signed 8-bit source samples at a
// 16.16 rate, interpolates linearly between neighbours and scales by a volume of 0..64. Source
// data arrives 256 bytes at a time from a fetch callback. Integer arithmetic only.
#pragma once

#include <array>
#include <cstdint>

// Fills all 256 bytes of `buffer` with the next signed 8-bit samples of the source (0 is
// silence). It may change the frequency of the voice it refills; that takes effect at the
// voice's next voice_mix call.
using VoiceFetchFn = void (*)(void* data, int8_t* buffer);

inline constexpr int VOICE_BLOCK = 256;  // source samples fetched per refill
inline constexpr int VOICE_MAX_VOLUME = 64;
inline constexpr int VOICE_SAMPLE_SHIFT = 23;  // a source byte b is held as b << 23

struct Voice {
    uint32_t rate;  // output rate in Hz, never 0 once voice_init has run
    int32_t step;   // 16.16 source samples per output sample; 0 = silent
    int32_t prev;   // source sample at the start of the interval, << 23
    int32_t next;   // source sample at the end of the interval, << 23
    int32_t frac;   // position between prev and next in 1/65536, 0..0xFFFF (0x10000 after init)
    std::array<int32_t, VOICE_BLOCK> block;  // the last fetched samples, each << 23
    int32_t volume;                          // 0..64
    int32_t block_pos;   // index in `block` of `next`; 256 = used up, refilled at the next advance
    VoiceFetchFn fetch;  // null: the voice contributes nothing
    void* fetch_data;
};

// Prepares a voice for an output rate (not 0). Leaves volume, fetch, fetch_data and block alone.
void voice_init(Voice* voice, uint32_t rate);
// step = (hz << 16) / rate in unsigned 32-bit arithmetic; 0 Hz silences the voice. The playing
// position is kept, so a pitch change mid-note is seamless.
void voice_set_frequency(Voice* voice, uint32_t hz);
// Stores the volume limited to 0..64.
void voice_set_volume(Voice* voice, int32_t volume);
void voice_set_fetch(Voice* voice, VoiceFetchFn fetch, void* data);
// Marks the block used up: the next advance discards its rest and fetches a fresh one.
void voice_restart(Voice* voice);
// voice_restart for a new note: the old sound's last value is dropped as well, so the note
// rises from silence toward its own first samples instead of starting at the old level.
void voice_start_note(Voice* voice);
// Fetches the next 256 source samples into `block`; block_pos is the caller's business.
void voice_refill(Voice* voice);
// Adds `count` output samples of the voice into acc[0..count-1] and advances it.
void voice_mix(Voice* voice, int32_t* acc, int32_t count);
