// Sample streaming: the voices' source of sample bytes and, with ramping, the fades of notes
// that are cut off and the decay of samples that run out.
#include "music/samples.h"

#include <algorithm>
#include <cstring>

int32_t ramp_frames(uint16_t rate, uint32_t us) {
    return std::max<int32_t>(1, static_cast<int32_t>(uint64_t{rate} * us / 1000000));
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
    const int64_t span = int64_t{ramp_frames(player.sample_rate, NOTE_FADE_US)} * step >> 16;
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
    voice_ramp_volume(&fade.voice, 0, ramp_frames(player->sample_rate, NOTE_FADE_US));
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
