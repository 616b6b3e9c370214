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
// Ramped volumes carry 9 fraction bits: 64 << 9 times a 16-bit sample still fits 32 bits, and
// (volume << 9) x sample >> 15 is exactly volume x sample >> 6.
inline constexpr int VOICE_VOLUME_SHIFT = 9;

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
    // Volume ramping: a new volume is reached over ramp_length output samples instead of at
    // once, so that a jump in volume does not click. Outside a ramp the output is exactly that
    // of the plain volume.
    int32_t ramp_length;  // samples a volume change takes; 0: changes are immediate
    int32_t ramp_left;    // samples of the current ramp still to be mixed
    int32_t ramp_volume;  // the volume reached so far in the ramp, << VOICE_VOLUME_SHIFT
    int32_t ramp_delta;   // added to ramp_volume after each sample of the ramp
    int32_t last_step;    // the step of the latest mix that sounded, for a fade after a cut
};

// Prepares a voice for an output rate (not 0), without ramping. Leaves volume, fetch,
// fetch_data and block alone.
void voice_init(Voice* voice, uint32_t rate);
// step = (hz << 16) / rate in unsigned 32-bit arithmetic; 0 Hz silences the voice. The playing
// position is kept, so a pitch change mid-note is seamless; with ramping, a silent voice given a
// frequency rises from silence over a ramp.
void voice_set_frequency(Voice* voice, uint32_t hz);
// Stores the volume limited to 0..64. With ramping on, a change starts a ramp from the volume
// heard now (mid-ramp included) to the new one.
void voice_set_volume(Voice* voice, int32_t volume);
// With ramping, starts the volume from silence: it rises to the voice's volume over a ramp.
void voice_fade_in(Voice* voice);
// The volume heard at the voice's current position, << VOICE_VOLUME_SHIFT.
int32_t voice_current_volume(const Voice* voice);
// Ramps over `length` output samples from now on from the volume heard now to `volume`, whatever
// the voice's ramp_length; a length of 0 sets the volume at once.
void voice_ramp_volume(Voice* voice, int32_t volume, int32_t length);
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
