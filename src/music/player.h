// The tracker-module player's face: what the show, the tools, the page and the benchmarks
// use. A four-channel, 31-sample module becomes a ModPlayer that renders 16-bit stereo, with a
// sequencer stepping it tick by tick; the records inside are the player's own (music/module.h).
//
// Module image (all multi-byte numbers big-endian; lengths and loop points in 16-bit words):
//   0     20 bytes  song title
//   20    31 x 30   sample headers: name[22], length, finetune, volume, loop start, loop length
//   950   1         song length (order entries played)
//   952   128       order table
//   1080  4         signature: M?K? or 4CHN
//   1084  1024 each patterns: 64 rows x 4 cells x 4 bytes
//   then            sample data, samples 1..31 back to back
// The image is read in place and must outlive the player. Every read is checked against the
// image size: an image too short for its header or patterns is refused, sample data running
// past the end is cut short there, and a loop ending past its sample is limited to it.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr int MOD_CHANNELS = 4;
inline constexpr int MOD_SAMPLES = 31;
inline constexpr int MOD_ORDERS = 128;
inline constexpr int MOD_PATTERNS = 128;
inline constexpr int MOD_ROWS = 64;
inline constexpr uint32_t MOD_HEADER_SIZE = 1084;
inline constexpr uint32_t MOD_PATTERN_SIZE = MOD_ROWS * MOD_CHANNELS * 4;
// No module file needs more (1084 bytes of header, 128 patterns, 31 samples of 128 KiB): a
// larger one is refused before it is read.
inline constexpr uint32_t MOD_MAX_FILE_BYTES = 16 << 20;
// Ramp lengths with ramping on. 1.5 ms (66 frames at 44100 Hz) spreads a full-scale step into
// steps below 500, far from a click, and stays well inside a tick (20 ms at tempo 125, 10 ms at
// the fastest) and inside the attack of any instrument worth hearing.
inline constexpr uint32_t VOLUME_RAMP_US = 1500;  // a volume change; a note rising from silence
inline constexpr uint32_t NOTE_FADE_US = 1500;    // a cut-off note; a sample running out

using PlayerCallback = void (*)(void* data);

struct SampleInfo {
    char name[23];         // the 22 name bytes, NULs shown as spaces, then a NUL
    uint32_t length;       // bytes, cut short where the image ends
    uint8_t finetune;      // 0..15
    uint8_t volume;        // default volume as stored
    uint32_t loop_start;   // bytes
    uint32_t loop_length;  // bytes; loop_start + loop_length never passes length
    const int8_t* data;    // first byte inside the module image
};

struct ModPlayer;

// A new player at the start of the song, or null when the image is refused (no M?K? or 4CHN
// signature, shorter than its header or its patterns, song length 0), the rate is 0, or the
// allocation fails. The image is read in place and must outlive the player. Prints nothing.
// Ramping is on.
ModPlayer* player_create(uint16_t sample_rate, const uint8_t* module_data, uint32_t module_size);
// Why player_create refuses an image, as a phrase for a message ("no M.K., M!K! or 4CHN
// signature"), written into `reason` (at most `size` bytes with its NUL); false when the image
// is accepted.
bool player_refusal(const uint8_t* module_data, uint32_t module_size, char* reason, size_t size);
// Releases the player (not the module image). Null is ignored.
void player_free(ModPlayer* player);

// With looping the song starts again where it would end; without, the player falls silent
// there.
void player_set_looping(ModPlayer* player, uint8_t flag);
// Ramping on (the default) or off. On, a volume change moves to the new volume over
// VOLUME_RAMP_US, and a note cut off (by a new note, a jump within it, a frequency of 0 or its
// sample running out) fades out over NOTE_FADE_US instead of stopping dead, so none of them
// clicks; a new note rises from silence over a ramp and then plays its own samples. Off, the
// output is the exact unramped arithmetic. Outside the ramps the two are the same sample for
// sample.
void player_set_ramping(ModPlayer* player, uint8_t flag);
// Called at every row start and every tick, on the thread that renders.
void player_set_row_callback(ModPlayer* player, PlayerCallback fn, void* data);
void player_set_tick_callback(ModPlayer* player, PlayerCallback fn, void* data);
uint8_t player_has_ended(const ModPlayer* player);
// Frames still to render before the current tick ends (at least 1): where the next tick
// boundary falls in the stream.
uint32_t player_frames_to_tick(const ModPlayer* player);

// What the module holds: its title (20 bytes at most), sample `number` (1..31), the orders
// played and the patterns stored.
const char* player_title(const ModPlayer* player);
const SampleInfo* player_sample(const ModPlayer* player, int number);
uint8_t player_song_length(const ModPlayer* player);
uint8_t player_pattern_count(const ModPlayer* player);
// True when the image holds less sample data than its headers promise; *present and *wanted
// (either may be null) receive the two byte counts. Such a module plays what is there.
bool player_sample_data_short(const ModPlayer* player, uint32_t* present, uint32_t* wanted);
// Frames the song lasts without looping, by the same rules that end it when played (the
// sequencer alone is run, nothing is mixed); max_frames when it has not ended by then. 0 when
// the image is refused.
uint64_t player_song_frames(uint16_t sample_rate, const uint8_t* module_data, uint32_t module_size,
                            uint64_t max_frames);

// Fills acc[0..2n-1] (left plane, then right plane) with n frames: left = channels 0 + 3,
// right = channels 1 + 2. Runs the sequencer at each tick boundary. Silence once ended.
void player_render(ModPlayer* player, int32_t* acc, int32_t n);
// n interleaved stereo frames of signed 16-bit (left, right, ...).
void player_render_s16(ModPlayer* player, int16_t* out, int32_t n);
// n interleaved stereo frames of unsigned 8-bit, 128 = silence.
void player_render_u8(ModPlayer* player, uint8_t* out, int32_t n);
