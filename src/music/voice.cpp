#include "music/voice.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#endif

void voice_init(Voice* voice, uint32_t rate) {
    voice->rate = rate;
    voice->step = 0x10000;
    voice->prev = 0;
    voice->next = 0;
    voice->frac = 0x10000;
    voice->block_pos = VOICE_BLOCK;
}

void voice_set_frequency(Voice* voice, uint32_t hz) {
    voice->step = static_cast<int32_t>((hz << 16) / voice->rate);
}

void voice_set_volume(Voice* voice, int32_t volume) {
    if (volume < 0) volume = 0;
    if (volume > VOICE_MAX_VOLUME) volume = VOICE_MAX_VOLUME;
    voice->volume = volume;
}

void voice_set_fetch(Voice* voice, VoiceFetchFn fetch, void* data) {
    voice->fetch = fetch;
    voice->fetch_data = data;
}

void voice_restart(Voice* voice) {
    voice->block_pos = VOICE_BLOCK;
}

void voice_start_note(Voice* voice) {
    voice->block_pos = VOICE_BLOCK;
    voice->prev = 0;
    voice->next = 0;
}

void voice_refill(Voice* voice) {
    int8_t buffer[VOICE_BLOCK];
    voice->fetch(voice->fetch_data, buffer);
    for (int k = 0; k < VOICE_BLOCK; ++k) {
        // Shift through unsigned: a negative byte shifted left is fine in C++20, but this keeps
        // the intent (bit pattern b << 23) plain.
        voice->block[k] =
            static_cast<int32_t>(static_cast<uint32_t>(buffer[k]) << VOICE_SAMPLE_SHIFT);
    }
}

namespace {

// The narrow loop, one output sample at a time. Per output sample: interpolate, scale, add,
// move the position on. The interpolation slope and base change only when a source sample is
// crossed, so they are worked out there rather than per output sample.
void mix_narrow(Voice* voice, int32_t s, int32_t* acc, int32_t count) {
    const int32_t volume = voice->volume;
    int32_t prev = voice->prev;
    int32_t next = voice->next;
    int32_t block_pos = voice->block_pos;
    // frac is carried unsigned: steps from very low output rates could otherwise overflow it.
    uint32_t frac = static_cast<uint32_t>(voice->frac);
    const int32_t* block = voice->block.data();
    int32_t d = (next - prev) >> 20;
    int32_t base = prev >> 15;
    for (int32_t i = 0; i < count; ++i) {
        acc[i] += (volume * (((d * static_cast<int32_t>(frac)) >> 11) + base)) >> 6;
        frac += static_cast<uint32_t>(s);
        if (frac > 0xFFFF) {
            block_pos += static_cast<int32_t>(frac >> 16);
            frac &= 0xFFFF;
            if (block_pos > VOICE_BLOCK - 1) {
                block_pos &= VOICE_BLOCK - 1;
                voice->block_pos = block_pos;
                voice_refill(voice);
            }
            prev = next;
            next = block[block_pos];
            d = (next - prev) >> 20;
            base = prev >> 15;
        }
    }
    voice->prev = prev;
    voice->next = next;
    voice->frac = static_cast<int32_t>(frac);
    voice->block_pos = block_pos;
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define VOICE_MIX_WIDE 1

constexpr int32_t WIDE_CHUNK = 1024;  // output samples per pass over a window of the source
constexpr int WIDE_LANES = 8;

// The wide loop, eight output samples at a time, with the same arithmetic as the narrow one
// and so the same output bit for bit. It needs a step below 1.0 (every output rate the player
// runs at: the highest note is 33 kHz) and frac within 0..0xFFFF.
//
// Output sample i lies at position frac + i x step from the current interval: its whole part
// j counts the source samples crossed, and the sample interpolates between window[j] and
// window[j + 1], where window holds prev, next and then the following source samples in
// playing order, fetched block by block exactly as the narrow loop fetches them. Eight
// consecutive outputs cross fewer than eight samples, so each group reads its two
// neighbours from eight consecutive window entries with one permute each.
__attribute__((target("avx2"))) void mix_wide(Voice* voice, uint32_t s, int32_t* acc,
                                              int32_t count) {
    const __m256i volume = _mm256_set1_epi32(voice->volume);
    const __m256i low16 = _mm256_set1_epi32(0xFFFF);
    const __m256i lane_offsets = _mm256_mullo_epi32(_mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7),
                                                    _mm256_set1_epi32(static_cast<int32_t>(s)));
    const __m256i group_step = _mm256_set1_epi32(static_cast<int32_t>(WIDE_LANES * s));
    // The chunk's crossings (at most WIDE_CHUNK), the entry after them, and room for a full
    // eight-entry load from the last one.
    alignas(32) int32_t window[WIDE_CHUNK + 2 + 2 * WIDE_LANES];
    while (count > 0) {
        const int32_t n = std::min(count, WIDE_CHUNK);
        const auto frac = static_cast<uint32_t>(voice->frac);
        const uint32_t end = frac + static_cast<uint32_t>(n) * s;  // below 2^27: no wrap
        const auto crossed = static_cast<int32_t>(end >> 16);
        window[0] = voice->prev;
        window[1] = voice->next;
        // Entries 2 .. crossed + 1 are the source samples after `next`: the rest of the block,
        // then fresh blocks, each fetched when the position first moves past the block's end.
        int32_t block_pos = voice->block_pos;
        for (int32_t k = 2; k <= crossed + 1;) {
            if (block_pos == VOICE_BLOCK - 1 || block_pos == VOICE_BLOCK) {
                block_pos = block_pos == VOICE_BLOCK ? 0 : -1;  // 256: index 0 is passed over
                voice->block_pos = block_pos + 1;
                voice_refill(voice);
            }
            const int32_t run = std::min(crossed + 2 - k, VOICE_BLOCK - 1 - block_pos);
            std::memcpy(window + k, voice->block.data() + block_pos + 1, sizeof(int32_t) * run);
            k += run;
            block_pos += run;
        }
        for (int32_t k = crossed + 2; k < crossed + 2 + 2 * WIDE_LANES; ++k) window[k] = 0;

        __m256i pos = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int32_t>(frac)), lane_offsets);
        int32_t i = 0;
        for (; i + WIDE_LANES <= n; i += WIDE_LANES) {
            const auto first = static_cast<int32_t>((frac + static_cast<uint32_t>(i) * s) >> 16);
            const __m256i rel =
                _mm256_sub_epi32(_mm256_srli_epi32(pos, 16), _mm256_set1_epi32(first));
            const __m256i from = _mm256_permutevar8x32_epi32(
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(window + first)), rel);
            const __m256i to = _mm256_permutevar8x32_epi32(
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(window + first + 1)), rel);
            const __m256i d = _mm256_srai_epi32(_mm256_sub_epi32(to, from), 20);
            const __m256i part = _mm256_mullo_epi32(d, _mm256_and_si256(pos, low16));
            const __m256i x =
                _mm256_add_epi32(_mm256_srai_epi32(part, 11), _mm256_srai_epi32(from, 15));
            const __m256i y = _mm256_srai_epi32(_mm256_mullo_epi32(volume, x), 6);
            auto* out = reinterpret_cast<__m256i*>(acc + i);
            _mm256_storeu_si256(out, _mm256_add_epi32(_mm256_loadu_si256(out), y));
            pos = _mm256_add_epi32(pos, group_step);
        }
        for (; i < n; ++i) {
            const uint32_t at = frac + static_cast<uint32_t>(i) * s;
            const int32_t from = window[at >> 16];
            const int32_t d = (window[(at >> 16) + 1] - from) >> 20;
            const int32_t x = ((d * static_cast<int32_t>(at & 0xFFFF)) >> 11) + (from >> 15);
            acc[i] += (voice->volume * x) >> 6;
        }
        voice->prev = window[crossed];
        voice->next = window[crossed + 1];
        voice->frac = static_cast<int32_t>(end & 0xFFFF);
        voice->block_pos = block_pos;
        acc += n;
        count -= n;
    }
}

bool wide_available() {
    static const bool available = __builtin_cpu_supports("avx2");
    return available;
}
#endif

}  // namespace

void voice_mix(Voice* voice, int32_t* acc, int32_t count) {
    if (voice->fetch == nullptr) return;
    // The step is read once: a fetch during this call may set a new frequency (0 when a sample
    // runs out), which takes effect at the next call.
    const int32_t s = voice->step;
    if (s == 0) {
        voice->prev = 0;
        voice->next = 0;
        return;
    }
#ifdef VOICE_MIX_WIDE
    // Steps of 1.0 and above (and the negative ones absurdly low output rates can give) take
    // the narrow loop.
    if (count > 0 && static_cast<uint32_t>(s) < 0x10000 && wide_available()) {
        if (voice->frac > 0xFFFF) {  // right after voice_init: one narrow step brings it in range
            mix_narrow(voice, s, acc, 1);
            ++acc;
            --count;
        }
        mix_wide(voice, static_cast<uint32_t>(s), acc, count);
        return;
    }
#endif
    mix_narrow(voice, s, acc, count);
}
