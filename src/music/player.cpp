// Loading a module image into a ModPlayer, the row fetch, the tick length and the voices'
// sample source.
#include "music/player.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "music/module.h"
#include "music/samples.h"
#include "music/sequencer.h"

namespace {

constexpr uint32_t SIGNATURE_OFFSET = 1080;
constexpr uint32_t SONG_LENGTH_OFFSET = 950;
constexpr uint32_t ORDER_OFFSET = 952;
constexpr uint32_t SAMPLE_HEADER_OFFSET = 20;
constexpr uint32_t SAMPLE_HEADER_SIZE = 30;

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

void player_set_ramping(ModPlayer* player, uint8_t flag) {
    player->ramping = flag != 0;
    const int32_t length = flag ? ramp_frames(player->sample_rate, VOLUME_RAMP_US) : 0;
    for (Voice& voice : player->voices) {
        voice.ramp_length = length;
        if (!flag) voice_ramp_volume(&voice, voice.volume, 0);
    }
    if (!flag) {
        for (NoteFade& fade : player->fades) fade.voice.ramp_left = 0;
    }
}

bool player_sample_data_short(const ModPlayer* player, uint32_t* present, uint32_t* wanted) {
    if (present != nullptr) *present = player->sample_bytes_present;
    if (wanted != nullptr) *wanted = player->sample_bytes_wanted;
    return player->sample_bytes_present < player->sample_bytes_wanted;
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

uint32_t player_frames_to_tick(const ModPlayer* player) {
    return player->samples_per_tick - player->tick_sample_pos;
}

const char* player_title(const ModPlayer* player) {
    return player->title;
}

const SampleInfo* player_sample(const ModPlayer* player, int number) {
    return number >= 1 && number <= MOD_SAMPLES ? &player->samples[number - 1] : nullptr;
}

uint8_t player_song_length(const ModPlayer* player) {
    return player->song_length;
}

uint8_t player_pattern_count(const ModPlayer* player) {
    return player->pattern_count;
}
