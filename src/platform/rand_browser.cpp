// The browser's C library makes another rand() sequence than Linux's; the show makes the same
// random choices in both only with Linux's, so the page's program gets that one.
#include <cstdlib>

#include "platform/rand_sequence.h"

namespace {

RandSequence sequence = [] {
    RandSequence s{};
    rand_sequence_seed(&s, 1);
    return s;
}();

}  // namespace

extern "C" int rand() {
    return rand_sequence_next(&sequence);
}

extern "C" void srand(unsigned seed) {
    rand_sequence_seed(&sequence, seed);
}
