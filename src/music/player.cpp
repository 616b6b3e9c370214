// Loading a module image into a ModPlayer, the row fetch, the tick length and the voices'
// sample source.
#include "music/player.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "music/effects.h"

namespace {

constexpr uint32_t SIGNATURE_OFFSET = 1080;
constexpr uint32_t SONG_LENGTH_OFFSET = 950;
constexpr uint32_t ORDER_OFFSET = 952;
constexpr uint32_t SAMPLE_HEADER_OFFSET = 20;
constexpr uint32_t SAMPLE_HEADER_SIZE = 30;
constexpr uint8_t TONE_PORTA = 0x3;
constexpr uint8_t TONE_PORTA_SLIDE = 0x5;

// A length, loop start or loop length: a big-endian word count doubled into bytes.
uint32_t read_words(const uint8_t* p) {
    return (uint32_t{p[0]} << 9) | (uint32_t{p[1]} << 1);
}

// 64 for the M.K. form, 128 for M!K! and 4CHN, 0 for a signature that is refused.
int order_mask(const uint8_t* sig) {
    if (sig[0] == 'M' && sig[2] == 'K') return (sig[1] == '!' && sig[3] == '!') ? 128 : 64;
    if (std::memcmp(sig, "4CHN", 4) == 0) return 128;
    return 0;
}

int count_patterns(const uint8_t* order_table, int mask) {
    int largest = 0;
    for (int i = 0; i < MOD_ORDERS; ++i) largest = std::max(largest, order_table[i] & (mask - 1));
    return largest + 1;
}

// Sample data starts right after the patterns; each sample is cut short where the image ends
// and its loop is kept inside what remains.
void read_sample_headers(ModPlayer* player, uint32_t module_size) {
    const uint8_t* image = player->module_data;
    const uint32_t data_start = MOD_HEADER_SIZE + MOD_PATTERN_SIZE * player->pattern_count;
    uint32_t offset = data_start;
    for (int i = 0; i < MOD_SAMPLES; ++i) {
        const uint8_t* h = image + SAMPLE_HEADER_OFFSET + SAMPLE_HEADER_SIZE * i;
        SampleInfo& s = player->samples[i];
        for (int k = 0; k < 22; ++k) s.name[k] = h[k] == 0 ? ' ' : static_cast<char>(h[k]);
        s.name[22] = '\0';
        const uint32_t declared = read_words(h + 22);
        s.finetune = h[24] & 0x0F;
        s.volume = h[25];
        s.loop_start = read_words(h + 26);
        s.loop_length = read_words(h + 28);

        const uint32_t start = std::min(offset, module_size);
        s.data = reinterpret_cast<const int8_t*>(image + start);
        s.length = std::min(declared, module_size - start);
        if (s.loop_start >= s.length) {
            s.loop_length = 0;  // a loop wholly outside the sample: the sample plays once
        } else if (s.loop_start + s.loop_length > s.length) {
            s.loop_length = s.length - s.loop_start;
        }
        offset += declared;  // at most 1084 + 128 KiB + 31 x 128 KiB: no wrap
    }
    player->sample_count = MOD_SAMPLES;
    player->sample_bytes_wanted = offset - data_start;
    player->sample_bytes_present = std::min(offset, module_size) - data_start;
}

void unpack_patterns(ModPlayer* player) {
    const uint8_t* b = player->module_data + MOD_HEADER_SIZE;
    for (int p = 0; p < player->pattern_count; ++p) {
        for (int r = 0; r < MOD_ROWS; ++r) {
            for (int c = 0; c < MOD_CHANNELS; ++c, b += 4) {
                PatternCell& cell = player->patterns[p][r][c];
                cell.sample = static_cast<uint8_t>((b[0] & 0xF0) | (b[2] >> 4));
                cell.period = static_cast<uint16_t>(((b[0] & 0x0F) << 8) | b[1]);
                cell.effect = static_cast<uint16_t>(((b[2] & 0x0F) << 8) | b[3]);
            }
        }
    }
}

}  // namespace

bool player_refusal(const uint8_t* module_data, uint32_t module_size, char* reason, size_t size) {
    if (module_data == nullptr || module_size < MOD_HEADER_SIZE) {
        std::snprintf(reason, size, "too short for a module header (%u of %u bytes)", module_size,
                      MOD_HEADER_SIZE);
        return true;
    }
    const int mask = order_mask(module_data + SIGNATURE_OFFSET);
    if (mask == 0) {
        std::snprintf(reason, size, "not a 4-channel module (no M.K., M!K! or 4CHN signature)");
        return true;
    }
    if (module_data[SONG_LENGTH_OFFSET] == 0) {
        std::snprintf(reason, size, "the song has no orders (song length 0)");
        return true;
    }
    const uint32_t patterns =
        MOD_PATTERN_SIZE * static_cast<uint32_t>(count_patterns(module_data + ORDER_OFFSET, mask));
    if (module_size - MOD_HEADER_SIZE < patterns) {
        std::snprintf(reason, size, "patterns cut short (%u of %u bytes)",
                      module_size - MOD_HEADER_SIZE, patterns);
        return true;
    }
    return false;
}

ModPlayer* player_create(uint16_t sample_rate, const uint8_t* module_data, uint32_t module_size) {
    char reason[96];
    if (sample_rate == 0 || player_refusal(module_data, module_size, reason, sizeof reason)) {
        return nullptr;
    }
    const int mask = order_mask(module_data + SIGNATURE_OFFSET);
    const uint8_t song_length = module_data[SONG_LENGTH_OFFSET];
    const int pattern_count = count_patterns(module_data + ORDER_OFFSET, mask);

    ModPlayer* player = new (std::nothrow) ModPlayer{};
    if (player == nullptr) return nullptr;
    player->module_data = module_data;
    player->sample_rate = sample_rate;
    player->order_table = module_data + ORDER_OFFSET;
    // Entries past the 128th do not exist; a longer song plays the 128 there are.
    player->song_length = std::min<uint8_t>(song_length, MOD_ORDERS);
    player->pattern_count = static_cast<uint8_t>(pattern_count);
    read_sample_headers(player, module_size);
    unpack_patterns(player);

    player->tempo = 125;
    player->speed = 6;
    player_update_tick_length(player);
    player->tick_length_fresh = 0;
    for (int c = 0; c < MOD_CHANNELS; ++c) {
        Channel& ch = player->channels[c];
        ch.player = player;
        ch.index = c;
        Voice& voice = player->voices[c];
        voice_init(&voice, sample_rate);
        voice_set_fetch(&voice, sample_fetch, &ch);
        voice_set_volume(&voice, 0);
        voice_set_frequency(&voice, 0);
        player_fetch_row(player, c);
    }
    player_set_ramping(player, 1);
    std::memcpy(player->title, module_data, 20);
    player->title[20] = '\0';
    return player;
}

void player_free(ModPlayer* player) {
    delete player;
}

namespace {

// Output samples in `us` microseconds at `rate`, at least 1.
int32_t ramp_samples(uint16_t rate, uint32_t us) {
    return std::max<int32_t>(1, static_cast<int32_t>(uint64_t{rate} * us / 1000000));
}

}  // namespace

void player_set_ramping(ModPlayer* player, uint8_t flag) {
    player->ramping = flag != 0;
    const int32_t length = flag ? ramp_samples(player->sample_rate, VOLUME_RAMP_US) : 0;
    for (Voice& voice : player->voices) {
        voice.ramp_length = length;
        if (!flag) voice_ramp_volume(&voice, voice.volume, 0);
    }
    if (!flag) {
        for (NoteFade& fade : player->fades) fade.voice.ramp_left = 0;
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
    // keeps it, so that repeated F effects do not drift, and the same tempo set twice in one
    // row (on two channels) keeps the length the coming tick already has.
    if (player->carry_tempo != player->tempo) {
        player->tick_carry = 0;
        player->carry_tempo = player->tempo;
    } else if (player->tick_length_fresh) {
        return;
    }
    player->samples_per_tick = next_tick_length(player);
    player->tick_length_fresh = 1;
}

void player_end_tick(ModPlayer* player) {
    player->tick = static_cast<uint16_t>(player->tick + 1);
    player->tick_sample_pos = 0;
    player->tick_length_fresh = 0;
    player_tick(player);
    // A tempo set during this tick has already given the coming tick its length.
    if (!player->tick_length_fresh) player->samples_per_tick = next_tick_length(player);
    player->tick_length_fresh = 0;
}

bool player_sample_data_short(const ModPlayer* player, uint32_t* present, uint32_t* wanted) {
    if (present != nullptr) *present = player->sample_bytes_present;
    if (wanted != nullptr) *wanted = player->sample_bytes_wanted;
    return player->sample_bytes_present < player->sample_bytes_wanted;
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
        if (command == TONE_PORTA || command == TONE_PORTA_SLIDE) {
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

namespace {

// Copies up to 256 bytes of sample s from *pos on into out, following the loop once the first
// pass is over, and sets *filled to how many. False once a sample without a loop has run out
// (*pos then stands at 2); *filled may then be anything up to 256.
bool read_sample_block(const SampleInfo& s, uint32_t* pos, uint8_t* first_pass, int8_t* out,
                       uint32_t* filled_out) {
    uint32_t at = *pos;
    uint32_t filled = 0;
    uint32_t end = *first_pass ? s.length : s.loop_start + s.loop_length;
    while (filled < VOICE_BLOCK) {
        const uint32_t n = std::min(at < end ? end - at : 0, VOICE_BLOCK - filled);
        if (n != 0) std::memcpy(out + filled, s.data + at, n);
        at += n;
        filled += n;
        if (at < end) continue;
        if (s.loop_length == 0 || (s.loop_start == 0 && s.loop_length <= 2)) {
            *pos = 2;
            *filled_out = filled;
            return false;
        }
        at = s.loop_start;
        *first_pass = 0;
        end = s.loop_start + s.loop_length;
    }
    *pos = at;
    *filled_out = filled;
    return true;
}

// Source samples a decay spans so that it lasts about NOTE_FADE_US at the voice's step.
uint8_t tail_samples(const ModPlayer& player, int32_t step) {
    const int64_t span = int64_t{ramp_samples(player.sample_rate, NOTE_FADE_US)} * step >> 16;
    return static_cast<uint8_t>(std::clamp<int64_t>(span, 1, UINT8_MAX));
}

// Writes the channel's decay, as far as it goes, into out[0..n-1], then zeros.
void write_tail(Channel& ch, int8_t* out, uint32_t n) {
    uint32_t k = 0;
    for (; k < n && ch.tail_left > 0; ++k) {
        --ch.tail_left;
        out[k] = static_cast<int8_t>(ch.tail_from * ch.tail_left / ch.tail_length);
    }
    std::memset(out + k, 0, n - k);
}

void fade_fetch(void* data, int8_t* out) {
    NoteFade& fade = *static_cast<NoteFade*>(data);
    uint32_t filled = 0;
    if (fade.sample != nullptr &&
        !read_sample_block(*fade.sample, &fade.sample_pos, &fade.first_pass, out, &filled)) {
        fade.sample = nullptr;
    }
    std::memset(out + filled, 0, VOICE_BLOCK - filled);
}

}  // namespace

void sample_fetch(void* data, int8_t* out) {
    Channel& ch = *static_cast<Channel*>(data);
    uint32_t filled = 0;
    if (ch.playing != 0 && ch.active_sample != 0 && ch.active_sample <= MOD_SAMPLES) {
        const SampleInfo& s = ch.player->samples[ch.active_sample - 1];
        const bool more = read_sample_block(s, &ch.sample_pos, &ch.first_pass, out, &filled);
        if (filled != 0) ch.last_byte = out[filled - 1];
        if (!more) {
            Voice& voice = ch.player->voices[ch.index];
            if (ch.player->ramping && ch.last_byte != 0) {
                ch.tail_from = ch.last_byte;
                ch.tail_length = tail_samples(*ch.player, voice.step);
                ch.tail_left = ch.tail_length;
            }
            voice_set_frequency(&voice, 0);
            ch.playing = 0;
        }
    }
    write_tail(ch, out + filled, VOICE_BLOCK - filled);
}

void player_fade_note(ModPlayer* player, int c) {
    const Voice& voice = player->voices[c];
    const int32_t step = voice.step != 0 ? voice.step : voice.last_step;
    const bool sounding = voice.step != 0 || voice.prev != 0 || voice.next != 0;
    if (!player->ramping || !sounding || step == 0 || voice_current_volume(&voice) == 0) return;
    Channel& ch = player->channels[c];
    NoteFade& fade = player->fades[c];
    fade.voice = voice;
    fade.voice.step = step;
    voice_set_fetch(&fade.voice, fade_fetch, &fade);
    const bool playing =
        ch.playing != 0 && ch.active_sample != 0 && ch.active_sample <= MOD_SAMPLES;
    fade.sample = playing ? &player->samples[ch.active_sample - 1] : nullptr;
    fade.sample_pos = ch.sample_pos;
    fade.first_pass = ch.first_pass;
    voice_ramp_volume(&fade.voice, 0, ramp_samples(player->sample_rate, NOTE_FADE_US));
    ch.tail_left = 0;
    ch.last_byte = 0;
}

void player_fade_silenced(ModPlayer* player) {
    if (!player->ramping) return;
    for (int c = 0; c < MOD_CHANNELS; ++c) {
        Voice& voice = player->voices[c];
        if (voice.step != 0 || (voice.prev == 0 && voice.next == 0)) continue;
        player_fade_note(player, c);
        // As the silent voice's next mix would: a frequency set again starts from silence.
        voice.prev = 0;
        voice.next = 0;
    }
}
