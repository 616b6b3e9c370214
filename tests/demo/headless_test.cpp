// The headless show as the tools and the page restart it: starting again releases the show
// before, and a show without music says so rather than wait for a clock that never moves.
#include "demo/headless.h"

#include <gtest/gtest.h>
#include <malloc.h>

namespace {

TEST(Headless, StartingAgainReleasesTheShowBefore) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer keeps a heap of its own, which mallinfo2 does not see";
#endif
    const auto in_use = [] {
        const struct mallinfo2 m = mallinfo2();
        return m.uordblks + m.hblkhd;  // the heap's chunks and those mapped on their own
    };
    HeadlessShow show;
    for (int i = 0; i < 2; ++i) ASSERT_EQ(headless_start(&show, nullptr, nullptr, nullptr), 0);
    const size_t before = in_use();
    for (int i = 0; i < 3; ++i) ASSERT_EQ(headless_start(&show, nullptr, nullptr, nullptr), 0);
    EXPECT_LT(in_use(), before + 16 * 1024);  // a show kept holds over 600 KB
    headless_stop();
}

TEST(Headless, WithoutMusicNoTickIsWaitedFor) {
    HeadlessShow show;
    ASSERT_EQ(headless_start(&show, "no/such.mod", nullptr, nullptr), 0);
    EXPECT_FALSE(headless_play_to_tick(&show, 1100));
    EXPECT_EQ(show.frame, 0u);
    headless_stop();
}

}  // namespace
