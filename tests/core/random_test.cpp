// The rand() sequence the browser build uses, against this (Linux) C library's own.
#include "core/random.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

TEST(RandSequence, MatchesTheCLibraryForEverySeed) {
    const uint32_t seeds[] = {1, 0, 2, 12345, 2147483647u, 2147483648u, 4294967295u};
    for (uint32_t seed : seeds) {
        std::srand(seed);
        RandSequence s;
        rand_sequence_seed(&s, seed);
        int differing = 0;
        for (int i = 0; i < 5000; ++i) differing += rand_sequence_next(&s) != std::rand();
        EXPECT_EQ(differing, 0) << "seed " << seed;
    }
}

}  // namespace
