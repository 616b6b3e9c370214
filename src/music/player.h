// The tracker-module player: a four-channel, 31-sample module turned into a ModPlayer that the
// sequencer steps tick by tick and the mixer renders to 16-bit stereo.
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

#include <array>
#include <cstddef>
#include <cstdint>

#include "music/voice.h"

inline constexpr int MOD_CHANNELS = 4;
inline constexpr int MOD_SAMPLES = 31;
inline constexpr int MOD_ORDERS = 128;
inline constexpr int MOD_PATTERNS = 128;
inline constexpr int MOD_ROWS = 64;
inline constexpr uint32_t MOD_HEADER_SIZE = 1084;
inline constexpr uint32_t MOD_PATTERN_SIZE = MOD_ROWS * MOD_CHANNELS * 4;
inline constexpr int PERIOD_MIN = 113;
inline constexpr int PERIOD_MAX = 856;
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

struct PatternCell {
    uint16_t period;  // 0..4095, 0 = no note
    uint16_t effect;  // command << 8 | parameter
    uint8_t sample;   // 1-based, 0 = none
};

struct ModPlayer;

// A note cut off by a new note on its channel, fading out on a voice of its own while the new
// note starts: it plays on from where it stood, through a copy of the channel's place in its
// sample, and its volume ramps to 0.
struct NoteFade {
    Voice voice;
    const SampleInfo* sample;  // the sample it plays; null once it has run out
    uint32_t sample_pos;       // as Channel::sample_pos
    uint8_t first_pass;        // as Channel::first_pass
};

struct Channel {
    ModPlayer* player;
    int32_t index;          // 0..3, selects the voice
    uint8_t active_sample;  // sample the voice plays, 0 = none (always 0..31)
    uint8_t playing;        // nonzero while a sample plays; 0 once one without loop runs out
    uint8_t first_pass;     // 1 until the sample's end is first reached
    uint32_t sample_pos;    // byte offset of the next byte to fetch
    uint16_t period;        // current period; 0 before any note
    uint16_t note_period;   // this row's note, 113..856, 0 = none
    uint8_t trigger;        // 1 when this row starts a note
    uint8_t sample;         // current instrument, 0..31
    uint16_t effect;        // this row's effect
    uint8_t volume;         // 0..64 (effect C may store up to 255)
    uint8_t finetune;       // 0..15
    uint16_t porta_target;
    uint8_t porta_speed;
    uint8_t porta_slide_param;
    uint8_t vibrato_pos;
    uint8_t vibrato_param;
    uint8_t vibrato_slide_param;
    uint16_t vibrato_period;
    uint8_t tremolo_pos;
    uint8_t tremolo_param;
    uint8_t tremolo_volume;
    uint8_t delay_tick;
    uint8_t offset_param;
    uint8_t loop_count;
    uint8_t loop_row;
    uint8_t slide_param;
    uint8_t retrigger_interval;
    // With ramping, a sample that runs out dies away over a few source samples from its last
    // value instead of dropping to silence at once.
    int8_t last_byte;     // the latest sample byte fetched (0 before any)
    int8_t tail_from;     // the value the decay starts from
    uint8_t tail_length;  // source samples the decay lasts
    uint8_t tail_left;    // source samples of it still to be fetched
};

struct ModPlayer {
    char title[21];  // the 20 title bytes as stored, then a NUL
    const uint8_t* module_data;
    uint8_t sample_count;
    const uint8_t* order_table;                   // the 128 entries inside the image
    uint8_t pattern_count;                        // patterns unpacked, 1..128
    uint8_t song_length;                          // 1..128
    std::array<SampleInfo, MOD_SAMPLES> samples;  // sample 1 is element 0
    PatternCell patterns[MOD_PATTERNS][MOD_ROWS][MOD_CHANNELS];
    std::array<Voice, MOD_CHANNELS> voices;
    std::array<Channel, MOD_CHANNELS> channels;
    std::array<NoteFade, MOD_CHANNELS> fades;  // one per channel, heard while its ramp lasts
    uint8_t ramping;  // volume changes ramp and cut-off notes fade (on after player_create)
    uint8_t faded;    // the latest player_render mixed a fade: sums may pass the 16-bit range
    uint16_t sample_rate;
    uint8_t looping;
    uint8_t ended;
    PlayerCallback row_callback;
    PlayerCallback tick_callback;
    void* row_callback_data;
    void* tick_callback_data;
    uint8_t order_pos;
    uint8_t row;
    uint8_t tempo;
    uint8_t speed;
    uint16_t samples_per_tick;  // at least 1
    uint16_t tick_sample_pos;
    uint16_t tick;
    uint8_t pattern_delay;
    uint8_t next_order;  // may equal song_length for a moment: the song's end is decided there
    uint8_t next_row;

    // How the song ends: a row start that would play an order and row already played, a
    // position past the last order, or F00 is the end of the song. Without looping the player
    // ends there; with looping it carries on (from order 0 after the last order or F00).
    uint64_t played[MOD_ORDERS];  // bit r of entry o: row r of order o has been played
    uint8_t song_end;             // F00 was met: the song ends at the next row start
    uint8_t row_jump;             // this row carries B (its target order stands with a D)
    uint8_t row_break;            // this row carries D (its row stands with a B)
    uint8_t loop_jump;            // E6y jumped back: the rows it repeats are played again

    // The tick length is 2.5 x sample_rate / tempo frames on average: whole frames, with the
    // fraction carried from tick to tick in units of 1 / (2 x tempo).
    uint32_t tick_carry;
    uint8_t carry_tempo;        // the tempo tick_carry was counted at
    uint8_t tick_length_fresh;  // set by player_update_tick_length during player_tick

    // Sample data the headers promise, and how much of it the image holds.
    uint32_t sample_bytes_wanted;
    uint32_t sample_bytes_present;
};

// --- Loading, channels and sample streaming (player.cpp) ---

// A new player at the start of the song, or null when the image is refused (no M?K? or 4CHN
// signature, shorter than its header or its patterns, song length 0), the rate is 0, or the
// allocation fails. Prints nothing.
ModPlayer* player_create(uint16_t sample_rate, const uint8_t* module_data, uint32_t module_size);
// Why player_create refuses an image, as a phrase for a message ("no M.K., M!K! or 4CHN
// signature"), written into `reason` (at most `size` bytes with its NUL); false when the image
// is accepted.
bool player_refusal(const uint8_t* module_data, uint32_t module_size, char* reason, size_t size);
// Releases the player (not the module image). Null is ignored.
void player_free(ModPlayer* player);
// Ramping on (the default) or off. On, a volume change moves to the new volume over
// VOLUME_RAMP_US, and a note cut off (by a new note, a jump within it, a frequency of 0 or its
// sample running out) fades out over NOTE_FADE_US instead of stopping dead, so none of them
// clicks; a new note rises from silence over a ramp and then plays its own samples. Off, the
// output is the exact unramped arithmetic. Outside the ramps the two are the same sample for
// sample.
void player_set_ramping(ModPlayer* player, uint8_t flag);
// Sets the coming tick's length for the current tempo: 5 x sample_rate / (2 x tempo) frames
// with the remainder carried from tick to tick (at least 1 frame); a new tempo starts the
// carry afresh. Tempo 125 at 44100 Hz gives 882 frames every tick.
void player_update_tick_length(ModPlayer* player);
// Ends the tick that has just been mixed: advances `tick`, runs player_tick and sets the next
// tick's length. player_render calls it at every tick boundary.
void player_end_tick(ModPlayer* player);
// True when the image holds less sample data than its headers promise; *present and *wanted
// (either may be null) receive the two byte counts. Such a module plays what is there.
bool player_sample_data_short(const ModPlayer* player, uint32_t* present, uint32_t* wanted);
// Frames the song lasts without looping, by the same rules that end it when played (the
// sequencer alone is run, nothing is mixed); max_frames when it has not ended by then. 0 when
// the image is refused.
uint64_t player_song_frames(uint16_t sample_rate, const uint8_t* module_data, uint32_t module_size,
                            uint64_t max_frames);
// Loads the cell of the current row for channel c into the channel.
void player_fetch_row(ModPlayer* player, int c);
// The voices' fetch callback; `channel` is the Channel* whose voice is refilling.
void sample_fetch(void* channel, int8_t* buffer);
// Moves the sound of channel c's voice to the channel's fade, to die away there while the voice
// starts a new note or falls silent. Nothing happens with ramping off or when the voice is
// silent.
void player_fade_note(ModPlayer* player, int c);
// With ramping, fades every voice that a frequency of 0 has just silenced while it sounded (a
// sample that ran out, a period out of range); player_render calls it before each run.
void player_fade_silenced(ModPlayer* player);

// --- Sequencer (sequencer.cpp) ---

void player_tick(ModPlayer* player);
void player_delayed_triggers(ModPlayer* player);
void player_set_looping(ModPlayer* player, uint8_t flag);
void player_set_row_callback(ModPlayer* player, PlayerCallback fn, void* data);
void player_set_tick_callback(ModPlayer* player, PlayerCallback fn, void* data);
uint8_t player_has_ended(const ModPlayer* player);

// --- Rendering (render.cpp) ---

// Frames rendered per internal pass of player_render_s16 and player_render_u8; their stack
// use is bounded by it whatever n is asked for.
inline constexpr int32_t RENDER_CHUNK = 1024;

// Fills acc[0..2n-1] (left plane, then right plane) with n frames: left = channels 0 + 3,
// right = channels 1 + 2. Runs player_tick at each tick boundary. Silence once ended.
void player_render(ModPlayer* player, int32_t* acc, int32_t n);
// n interleaved stereo frames of signed 16-bit (left, right, ...).
void player_render_s16(ModPlayer* player, int16_t* out, int32_t n);
// n interleaved stereo frames of unsigned 8-bit, 128 = silence.
void player_render_u8(ModPlayer* player, uint8_t* out, int32_t n);
