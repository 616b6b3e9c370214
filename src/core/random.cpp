#include "core/random.h"

namespace {

constexpr int kWords = 31;
constexpr int kSeparation = 3;
// The first 10 x 31 values are thrown away to stir the seeded words.
constexpr int kDiscarded = 10 * kWords;

}  // namespace

void rand_sequence_seed(RandSequence* s, uint32_t seed) {
    if (seed == 0) seed = 1;
    // The seed is taken as a signed word, so seeds from 2^31 on start negative.
    auto word = static_cast<int32_t>(seed);
    s->words[0] = seed;
    for (int i = 1; i < kWords; ++i) {
        // 16807 x word mod (2^31 - 1), without overflow (Schrage's method).
        const int64_t hi = word / 127773;
        const int64_t lo = word % 127773;
        word = static_cast<int32_t>(16807 * lo - 2836 * hi);
        if (word < 0) word += 2147483647;
        s->words[i] = static_cast<uint32_t>(word);
    }
    s->front = kSeparation;
    s->rear = 0;
    for (int i = 0; i < kDiscarded; ++i) rand_sequence_next(s);
}

int32_t rand_sequence_next(RandSequence* s) {
    const uint32_t sum = s->words[s->front] + s->words[s->rear];
    s->words[s->front] = sum;
    if (++s->front == kWords) s->front = 0;
    if (++s->rear == kWords) s->rear = 0;
    return static_cast<int32_t>(sum >> 1);
}

namespace {

RandSequence show_sequence = [] {
    RandSequence s{};
    rand_sequence_seed(&s, 1);
    return s;
}();

}  // namespace

int32_t show_random() {
    return rand_sequence_next(&show_sequence);
}

void show_random_seed(uint32_t seed) {
    rand_sequence_seed(&show_sequence, seed);
}
