// The wide mixing loop: eight output samples at a time with AVX2, chosen at run time where the
// processor has it. Elsewhere (other processors, the browser) the plain loop runs alone.
#include <algorithm>
#include <cstring>

#include "music/voice_mix.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>

namespace {

constexpr int32_t WIDE_CHUNK = 1024;  // output samples per pass over a window of the source
constexpr int WIDE_LANES = 8;

}  // namespace

bool voice_wide_available() {
    static const bool available = __builtin_cpu_supports("avx2");
    return available;
}

// Output sample i lies at position frac + i x step from the current interval: its whole part
// j counts the source samples crossed, and the sample interpolates between window[j] and
// window[j + 1], where window holds prev, next and then the following source samples in
// playing order, fetched block by block exactly as the plain loop fetches them. Eight
// consecutive outputs cross fewer than eight samples, so each group reads its two
// neighbours from eight consecutive window entries with one permute each.
__attribute__((target("avx2"))) void voice_mix_wide(Voice* voice, uint32_t s, int32_t* acc,
                                                    int32_t count, int32_t volume, int32_t delta) {
    const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i low16 = _mm256_set1_epi32(0xFFFF);
    const __m256i lane_offsets =
        _mm256_mullo_epi32(lanes, _mm256_set1_epi32(static_cast<int32_t>(s)));
    const __m256i group_delta = _mm256_set1_epi32(WIDE_LANES * delta);
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
                voice_fetch_block(voice);
            }
            const int32_t run = std::min(crossed + 2 - k, VOICE_BLOCK - 1 - block_pos);
            std::memcpy(window + k, voice->block.data() + block_pos + 1, sizeof(int32_t) * run);
            k += run;
            block_pos += run;
        }
        for (int32_t k = crossed + 2; k < crossed + 2 + 2 * WIDE_LANES; ++k) window[k] = 0;

        __m256i pos = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int32_t>(frac)), lane_offsets);
        __m256i volumes = _mm256_add_epi32(_mm256_set1_epi32(volume),
                                           _mm256_mullo_epi32(lanes, _mm256_set1_epi32(delta)));
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
            const __m256i y =
                _mm256_srai_epi32(_mm256_mullo_epi32(volumes, x), 6 + VOICE_VOLUME_SHIFT);
            auto* out = reinterpret_cast<__m256i*>(acc + i);
            _mm256_storeu_si256(out, _mm256_add_epi32(_mm256_loadu_si256(out), y));
            pos = _mm256_add_epi32(pos, group_step);
            volumes = _mm256_add_epi32(volumes, group_delta);
        }
        for (; i < n; ++i) {
            const uint32_t at = frac + static_cast<uint32_t>(i) * s;
            const int32_t from = window[at >> 16];
            const int32_t x = voice_interpolate((window[(at >> 16) + 1] - from) >> 20, from >> 15,
                                                static_cast<int32_t>(at & 0xFFFF));
            acc[i] += voice_scale(volume + i * delta, x);
        }
        volume += n * delta;
        voice->prev = window[crossed];
        voice->next = window[crossed + 1];
        voice->frac = static_cast<int32_t>(end & 0xFFFF);
        voice->block_pos = block_pos;
        acc += n;
        count -= n;
    }
}

#else

bool voice_wide_available() {
    return false;
}

void voice_mix_wide(Voice*, uint32_t, int32_t*, int32_t, int32_t, int32_t) {}

#endif
