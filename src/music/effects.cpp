// Row-start and per-tick effect processing, and the pitch helpers they share.
#include "music/effects.h"

#include <algorithm>

#include "music/samples.h"

namespace {

constexpr std::array<uint16_t, PERIOD_MAX - PERIOD_MIN + 1> make_frequency_table() {
    std::array<uint16_t, PERIOD_MAX - PERIOD_MIN + 1> table{};
    for (int p = PERIOD_MIN; p <= PERIOD_MAX; ++p) {
        table[p - PERIOD_MIN] = static_cast<uint16_t>(3546895 / p);
    }
    return table;
}

enum Extended : uint8_t {
    EXT_FINE_PORTA_UP = 0x1,
    EXT_FINE_PORTA_DOWN = 0x2,
    EXT_PATTERN_LOOP = 0x6,
    EXT_RETRIGGER = 0x9,
    EXT_FINE_VOLUME_UP = 0xA,
    EXT_FINE_VOLUME_DOWN = 0xB,
    EXT_NOTE_CUT = 0xC,
    EXT_NOTE_DELAY = 0xD,
    EXT_PATTERN_DELAY = 0xE,
};

void set_pitch(ModPlayer* player, const Channel& ch, uint16_t period) {
    voice_set_frequency(&player->voices[ch.index], period_frequency(period, ch.finetune));
}

// The signed wave value at a vibrato or tremolo phase: the table's half sine, negated in the
// second half of each 64-step cycle.
int wave(uint8_t pos) {
    const int v = vibrato_table[pos & 31];
    return (pos & 32) ? -v : v;
}

// Effects 3 and 5 at a row start: the cell's note becomes the slide's target.
void set_porta_target(Channel& ch) {
    ch.trigger = 0;
    if (ch.note_period != 0) ch.porta_target = ch.note_period;
}

// Returns false when a delayed note (EDy) is not yet due and the rest of the row start is
// skipped.
bool row_extended(ModPlayer* player, Channel& ch, uint8_t sub, uint8_t y) {
    switch (sub) {
        case EXT_FINE_PORTA_UP:
            ch.period = static_cast<uint16_t>(std::max(ch.period - y, PERIOD_MIN));
            set_pitch(player, ch, ch.period);
            break;
        case EXT_FINE_PORTA_DOWN:
            ch.period = static_cast<uint16_t>(std::min(ch.period + y, PERIOD_MAX));
            set_pitch(player, ch, ch.period);
            break;
        case EXT_PATTERN_LOOP:
            if (y == 0) {
                ch.loop_row = player->row;
            } else {
                // The loop plays y more times after the first: a count is started on the
                // first pass and counted down on the repeats.
                if (ch.loop_count == 0) {
                    ch.loop_count = y;
                } else {
                    --ch.loop_count;
                }
                if (ch.loop_count != 0) {
                    player->next_row = ch.loop_row;
                    player->next_order = player->order_pos;
                    player->loop_jump = 1;
                    // The repeated rows are played again, not a jump back to the song's past.
                    const int low = std::min(ch.loop_row, player->row);
                    const int high = std::max(ch.loop_row, player->row);
                    const uint64_t rows = (~uint64_t{0} >> (63 - (high - low))) << low;
                    player->played[player->order_pos % MOD_ORDERS] &= ~rows;
                }
            }
            break;
        case EXT_RETRIGGER:
            ch.retrigger_interval = y;
            ch.trigger = 1;
            break;
        case EXT_FINE_VOLUME_UP:
            ch.volume = static_cast<uint8_t>(std::min(ch.volume + y, VOICE_MAX_VOLUME));
            break;
        case EXT_FINE_VOLUME_DOWN:
            ch.volume = y > ch.volume ? 0 : static_cast<uint8_t>(ch.volume - y);
            break;
        case EXT_NOTE_DELAY:
            ch.delay_tick = y;
            if (y != player->tick) return false;
            break;
        case EXT_PATTERN_DELAY:
            player->pattern_delay = static_cast<uint8_t>(y * player->speed);
            break;
        default:
            break;
    }
    return true;
}

// Returns false when the rest of the row start is skipped (a delayed note not yet due).
bool row_effect(ModPlayer* player, Channel& ch, uint32_t& start) {
    const uint8_t command = static_cast<uint8_t>(ch.effect >> 8);
    const uint8_t xx = static_cast<uint8_t>(ch.effect);
    switch (command) {
        case CMD_TONE_PORTA:
            set_porta_target(ch);
            if (xx != 0) ch.porta_speed = xx;
            break;
        case CMD_VIBRATO:
            ch.vibrato_pos = 0;
            if (xx != 0) ch.vibrato_param = xx;
            break;
        case CMD_TONE_PORTA_SLIDE:
            set_porta_target(ch);
            if (xx != 0) ch.porta_slide_param = xx;
            break;
        case CMD_VIBRATO_SLIDE:
            ch.vibrato_pos = 0;
            if (xx != 0) ch.vibrato_slide_param = xx;
            break;
        case CMD_TREMOLO:
            ch.tremolo_pos = 0;
            if (xx != 0) ch.tremolo_param = xx;
            break;
        case CMD_OFFSET:
            if (xx != 0) ch.offset_param = xx;
            start = uint32_t{ch.offset_param} * 256;
            if (ch.trigger == 0) {
                // A jump within the sounding note: the old place fades as the new one rises.
                player_fade_note(player, ch.index);
                ch.sample_pos = start;
                voice_restart(&player->voices[ch.index]);
                voice_fade_in(&player->voices[ch.index]);
            }
            break;
        case CMD_VOLUME_SLIDE:
            if (xx != 0) ch.slide_param = xx;
            break;
        case CMD_JUMP:
            // With a D in the same row, whichever channel holds it, the break's row is taken
            // in the jump's order.
            player->next_order = xx >= player->song_length ? 0 : xx;
            if (!player->row_break) player->next_row = 0;
            player->row_jump = 1;
            player->loop_jump = 0;
            break;
        case CMD_SET_VOLUME:
            ch.volume = xx;
            break;
        case CMD_BREAK: {
            // The parameter is the row in decimal digits; a row past the pattern's end is row 0.
            // Past the last order the row start decides: the song ends or starts again.
            const int row = 10 * (xx >> 4) + (xx & 0x0F);
            if (!player->row_jump) player->next_order = static_cast<uint8_t>(player->order_pos + 1);
            player->next_row = static_cast<uint8_t>(row < MOD_ROWS ? row : 0);
            player->row_break = 1;
            player->loop_jump = 0;
            break;
        }
        case CMD_EXTENDED:
            return row_extended(player, ch, xx >> 4, xx & 0x0F);
        case CMD_SPEED:
            // A row's effects apply in channel order: F00 ends the song after this row unless a
            // later channel sets a speed.
            if (xx == 0) {
                player->song_end = 1;
            } else if ((xx & 0xE0) == 0) {
                player->speed = xx;
                player->song_end = 0;
            } else {
                player->tempo = xx;  // the coming tick takes its length from it
            }
            break;
        default:
            break;
    }
    return true;
}

}  // namespace

const std::array<uint16_t, PERIOD_MAX - PERIOD_MIN + 1> frequency_table = make_frequency_table();

uint32_t period_frequency(uint16_t period, uint8_t finetune) {
    // Periods outside the table (a bare sample number on a fresh channel, arpeggios past the
    // top octave, slides from period 0) are silent rather than read outside it.
    if (period < PERIOD_MIN || period > PERIOD_MAX) return 0;
    const uint32_t hz = frequency_table[period - PERIOD_MIN];
    return finetune == 0 ? hz : (hz * finetune_table[finetune - 1]) >> 15;
}

uint16_t arpeggio_period(uint16_t period, int n) {
    const auto found = std::find(period_table.begin(), period_table.end(), period);
    if (found == period_table.end()) return period;
    const size_t i = static_cast<size_t>(found - period_table.begin()) + static_cast<size_t>(n);
    return i > period_table.size() - 1 ? period_table.back() : period_table[i];
}

void tone_portamento(Channel* ch) {
    if (ch->porta_target == 0) return;
    if (ch->period < ch->porta_target) {
        ch->period = ch->porta_target - ch->period >= ch->porta_speed
                         ? static_cast<uint16_t>(ch->period + ch->porta_speed)
                         : ch->porta_target;
    } else if (ch->period > ch->porta_target) {
        ch->period = ch->period - ch->porta_target >= ch->porta_speed
                         ? static_cast<uint16_t>(ch->period - ch->porta_speed)
                         : ch->porta_target;
    }
}

void vibrato(Channel* ch) {
    ch->vibrato_pos = static_cast<uint8_t>(ch->vibrato_pos + (ch->vibrato_param >> 4));
    const int offset = (wave(ch->vibrato_pos) * (ch->vibrato_param & 15)) >> 7;
    ch->vibrato_period =
        static_cast<uint16_t>(std::clamp(ch->period + offset, PERIOD_MIN, PERIOD_MAX));
}

void tremolo(Channel* ch) {
    ch->tremolo_pos = static_cast<uint8_t>(ch->tremolo_pos + (ch->tremolo_param >> 4));
    const int offset = (wave(ch->tremolo_pos) * (ch->tremolo_param & 15)) >> 6;
    ch->tremolo_volume = static_cast<uint8_t>(std::clamp(ch->volume + offset, 0, VOICE_MAX_VOLUME));
}

void volume_slide(Channel* ch, bool use_slide_param, uint8_t fallback) {
    uint8_t p = static_cast<uint8_t>(ch->effect);
    if (p == 0) p = use_slide_param ? ch->slide_param : fallback;
    if (p >> 4) {
        ch->volume = static_cast<uint8_t>(ch->volume + (p >> 4));  // wraps as an 8-bit field
        if (ch->volume > VOICE_MAX_VOLUME) ch->volume = VOICE_MAX_VOLUME;
    } else if (p & 15) {
        const uint8_t down = p & 15;
        ch->volume = down > ch->volume ? 0 : static_cast<uint8_t>(ch->volume - down);
    }
}

void player_row_effects(ModPlayer* player, int c) {
    Channel& ch = player->channels[c];
    Voice* voice = &player->voices[c];
    ch.retrigger_interval = 0;
    ch.delay_tick = 0;
    uint32_t start = 2;  // bytes 0 and 1 of a sample are heard only through its loop
    if (ch.effect != 0 && !row_effect(player, ch, start)) return;
    if ((ch.effect >> 8) != CMD_TREMOLO) voice_set_volume(voice, ch.volume);
    if (ch.trigger == 1) {
        // The note sounding until now dies away on its own; the new one rises from silence to
        // its volume over a ramp, after which its samples are heard as they are.
        player_fade_note(player, c);
        voice_fade_in(voice);
        ch.first_pass = 1;
        set_pitch(player, ch, ch.period);
        ch.active_sample = ch.sample;
        ch.playing = ch.sample;
        ch.sample_pos = start;
        voice_start_note(voice);
    }
}

void player_tick_effects(ModPlayer* player, int c) {
    Channel& ch = player->channels[c];
    if (ch.effect == 0) return;
    const uint8_t command = static_cast<uint8_t>(ch.effect >> 8);
    const uint8_t xx = static_cast<uint8_t>(ch.effect);
    switch (command) {
        case CMD_ARPEGGIO: {
            const int phase = player->tick % 3;
            const uint16_t period = phase == 0   ? ch.period
                                    : phase == 1 ? arpeggio_period(ch.period, xx & 15)
                                                 : arpeggio_period(ch.period, xx >> 4);
            set_pitch(player, ch, period);
            return;  // no volume refresh
        }
        case CMD_PORTA_UP:
            ch.period = ch.period > xx + PERIOD_MIN ? static_cast<uint16_t>(ch.period - xx)
                                                    : static_cast<uint16_t>(PERIOD_MIN);
            break;
        case CMD_PORTA_DOWN:
            ch.period = static_cast<uint16_t>(std::min(ch.period + xx, PERIOD_MAX));
            break;
        case CMD_TONE_PORTA:
            tone_portamento(&ch);
            break;
        case CMD_VIBRATO:
            vibrato(&ch);
            break;
        case CMD_TONE_PORTA_SLIDE:
            tone_portamento(&ch);
            volume_slide(&ch, false, ch.porta_slide_param);
            break;
        case CMD_VIBRATO_SLIDE:
            vibrato(&ch);
            volume_slide(&ch, false, ch.vibrato_slide_param);
            break;
        case CMD_TREMOLO:
            tremolo(&ch);
            break;
        case CMD_VOLUME_SLIDE:
            volume_slide(&ch, true, 0);
            break;
        case CMD_EXTENDED:
            if ((xx >> 4) == EXT_NOTE_CUT && (xx & 15) == player->tick) ch.volume = 0;
            break;
        default:
            break;
    }
    const bool vibrating = command == CMD_VIBRATO || command == CMD_VIBRATO_SLIDE;
    const uint16_t q = vibrating ? ch.vibrato_period : ch.period;
    if (q != 0) set_pitch(player, ch, q);
    voice_set_volume(&player->voices[c], command == CMD_TREMOLO ? ch.tremolo_volume : ch.volume);
}
