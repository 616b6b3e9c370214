// The player's records: the module image unpacked into a ModPlayer, its channels and voices.
// Internal to the player; its face is music/player.h.
#pragma once

#include <array>
#include <cstdint>

#include "music/player.h"
#include "music/voice.h"

inline constexpr int PERIOD_MIN = 113;
inline constexpr int PERIOD_MAX = 856;

struct PatternCell {
    uint16_t period;  // 0..4095, 0 = no note
    uint16_t effect;  // command << 8 | parameter
    uint8_t sample;   // 1-based, 0 = none
};

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
    uint8_t carry_tempo;  // the tempo tick_carry was counted at

    // Sample data the headers promise, and how much of it the image holds.
    uint32_t sample_bytes_wanted;
    uint32_t sample_bytes_present;
};
