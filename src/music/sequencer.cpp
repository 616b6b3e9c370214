// The sequencer: one call of player_tick per tick rendered. A row lasts speed + pattern_delay
// ticks; its first tick reads the next row, the others run the per-tick effects.
#include "music/sequencer.h"

#include <algorithm>
#include <iterator>

#include "music/effects.h"

namespace {

uint64_t row_bit(int row) {
    return uint64_t{1} << (row & (MOD_ROWS - 1));
}

// Whether the row start about to happen ends the song: F00 was met, the position lies past the
// last order, or it plays a row that has been played before (a jump back, which E6y's own
// repeats are not).
bool at_song_end(const ModPlayer* player) {
    if (player->song_end || player->next_order >= player->song_length) return true;
    return !player->loop_jump && (player->played[player->next_order] & row_bit(player->next_row));
}

}  // namespace

void player_tick(ModPlayer* player) {
    if (player->tick_callback) player->tick_callback(player->tick_callback_data);

    if (player->tick != player->speed + player->pattern_delay) {
        for (int c = 0; c < MOD_CHANNELS; ++c) player_tick_effects(player, c);
        player_delayed_triggers(player);
        return;
    }

    // Row start.
    if (at_song_end(player)) {
        if (!player->looping) {
            player->ended = 1;
            return;
        }
        // Looping: the song starts again at the end of the last order or at F00; a jump back
        // plays on from its target. Either way a new pass begins.
        if (player->song_end) {
            player->next_order = 0;
            player->next_row = 0;
        } else if (player->next_order >= player->song_length) {
            player->next_order = 0;
        }
        std::fill(std::begin(player->played), std::end(player->played), 0);
    }
    player->song_end = 0;
    player->loop_jump = 0;
    player->row_jump = 0;
    player->row_break = 0;
    player->row = player->next_row;
    player->order_pos = player->next_order;
    player->played[player->order_pos] |= row_bit(player->row);
    player->tick = 0;
    player->pattern_delay = 0;
    player->next_row = static_cast<uint8_t>(player->row + 1);
    if (player->next_row == MOD_ROWS) {
        player->next_row = 0;
        player->next_order = static_cast<uint8_t>(player->order_pos + 1);  // at most 128
    }
    // All four cells are read before any row effect runs.
    for (int c = 0; c < MOD_CHANNELS; ++c) player_fetch_row(player, c);
    for (int c = 0; c < MOD_CHANNELS; ++c) player_row_effects(player, c);
    if (player->row_callback) player->row_callback(player->row_callback_data);
}

void player_delayed_triggers(ModPlayer* player) {
    for (int c = 0; c < MOD_CHANNELS; ++c) {
        const Channel& ch = player->channels[c];
        const bool retrigger =
            ch.retrigger_interval != 0 && player->tick % ch.retrigger_interval == 0;
        if (retrigger || player->tick == ch.delay_tick) player_row_effects(player, c);
    }
}

namespace {

// The next tick's length in frames, moving the carried remainder on.
uint16_t next_tick_length(ModPlayer* player) {
    const uint32_t per_tick_x2t = 5u * player->sample_rate;  // 2 x tempo x the exact length
    const uint32_t two_tempo = 2u * std::max<uint32_t>(player->tempo, 1);
    const uint32_t total = per_tick_x2t + player->tick_carry;
    player->tick_carry = total % two_tempo;
    // Only output rates below about 13 Hz could give 0 frames; a tick is at least one frame
    // so that rendering always moves on.
    return static_cast<uint16_t>(std::clamp<uint32_t>(total / two_tempo, 1, UINT16_MAX));
}

}  // namespace

void player_update_tick_length(ModPlayer* player) {
    // The carried fraction belongs to the tempo it was counted at; the same tempo set again
    // keeps it, so that repeated F effects do not drift.
    if (player->carry_tempo != player->tempo) {
        player->tick_carry = 0;
        player->carry_tempo = player->tempo;
    }
    player->samples_per_tick = next_tick_length(player);
}

void player_end_tick(ModPlayer* player) {
    player->tick = static_cast<uint16_t>(player->tick + 1);
    player->tick_sample_pos = 0;
    player_tick(player);
    // Once per tick, whatever tempo effects the tick ran: a tempo set twice in one row moves
    // the carried fraction on once.
    player_update_tick_length(player);
}

uint64_t player_song_frames(uint16_t sample_rate, const uint8_t* module_data, uint32_t module_size,
                            uint64_t max_frames) {
    ModPlayer* player = player_create(sample_rate, module_data, module_size);
    if (player == nullptr) return 0;
    uint64_t frames = 0;
    while (!player->ended && frames < max_frames) {
        frames += player->samples_per_tick;
        player_end_tick(player);
    }
    player_free(player);
    return std::min(frames, max_frames);
}

void player_fetch_row(ModPlayer* player, int c) {
    static constexpr PatternCell EMPTY_CELL{};
    Channel& ch = player->channels[c];
    const uint8_t pattern = player->order_table[player->order_pos % MOD_ORDERS];
    // A pattern that was never unpacked plays as empty rows. Rows stay below 64 (a break past
    // the pattern's end goes to row 0), but a row set from outside is not trusted.
    const PatternCell& cell = (pattern < player->pattern_count && player->row < MOD_ROWS)
                                  ? player->patterns[pattern][player->row][c]
                                  : EMPTY_CELL;

    ch.effect = cell.effect;
    if (cell.period == 0) {
        ch.trigger = 0;
        ch.note_period = 0;
    } else {
        const uint16_t p = std::clamp<uint16_t>(cell.period, PERIOD_MIN, PERIOD_MAX);
        ch.note_period = p;
        const int command = cell.effect >> 8;
        // A note under tone portamento is the slide's target, not a new note.
        if (command == CMD_TONE_PORTA || command == CMD_TONE_PORTA_SLIDE) {
            ch.trigger = 0;
        } else {
            ch.trigger = 1;
            ch.period = p;
        }
    }

    uint8_t s = cell.sample;
    uint8_t finetune = ch.finetune;
    if (s == 0) {
        s = ch.active_sample;
        if (ch.trigger == 1 && s != 0) ch.volume = player->samples[s - 1].volume;
    } else {
        ch.trigger = 1;  // a sample number alone restarts the note at the current period
        if (s > MOD_SAMPLES) {
            s = 0;  // names no sample: the note starts silent
        } else {
            ch.volume = player->samples[s - 1].volume;
            finetune = player->samples[s - 1].finetune;
        }
    }
    if (s == 0 && ch.trigger == 1) {
        ch.sample = 0;
        ch.volume = 0;
        ch.finetune = 0;
    } else {
        ch.sample = s;
        ch.finetune = finetune;
    }
}
