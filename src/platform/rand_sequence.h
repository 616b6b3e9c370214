// rand() as the Linux C library makes it, for platforms whose C library makes another
// sequence (the browser's does). The show never seeds rand(), and its random choices (the
// letters' jitter and colours, the figures' drift and age) must be the same wherever it runs.
#pragma once

#include <cstdint>

// An additive feedback generator over 31 words, x[i] = x[i-3] + x[i-31] (32-bit wrapping),
// seeded through the Park-Miller minimal standard generator. Each value is a word shifted
// right by one: 0 .. 2147483647.
struct RandSequence {
    uint32_t words[31];
    int front;  // the word that receives the sum, 3 places ahead of rear
    int rear;
};

// Seeds as srand(seed) does (0 counts as 1); a sequence seeded with 1 is the unseeded one.
void rand_sequence_seed(RandSequence* s, uint32_t seed);
int32_t rand_sequence_next(RandSequence* s);
