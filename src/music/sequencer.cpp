// The sequencer: one call of player_tick per tick rendered. A row lasts speed + pattern_delay
// ticks; its first tick reads the next row, the others run the per-tick effects.
#include <algorithm>
#include <iterator>

#include "music/effects.h"
#include "music/player.h"

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

void player_set_looping(ModPlayer* player, uint8_t flag) {
    player->looping = flag;
}

void player_set_row_callback(ModPlayer* player, PlayerCallback fn, void* data) {
    player->row_callback = fn;
    player->row_callback_data = data;
}

void player_set_tick_callback(ModPlayer* player, PlayerCallback fn, void* data) {
    player->tick_callback = fn;
    player->tick_callback_data = data;
}

uint8_t player_has_ended(const ModPlayer* player) {
    return player->ended;
}
