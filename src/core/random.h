// The show's random choices (the letters' jitter and colours, the figures' drift and age, the
// particles' spin) come from one generator of ours, the same on every target whatever its C
// library: the sequence Linux's rand() gives, which the show never seeds, so that every run
// everywhere makes the same choices.
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

// The show's own sequence: show_random() is the next value, 0 .. 2147483647. It starts as an
// unseeded rand() does; show_random_seed(1) starts it again.
int32_t show_random();
void show_random_seed(uint32_t seed);
