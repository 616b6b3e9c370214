#include "math/trig.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(SineTable, FollowsTheSineAndNeverReachesOne) {
    for (int k = 0; k < SINE_TABLE_SIZE; ++k) {
        EXPECT_NEAR(sine_table[k], 65536.0 * std::sin(k * M_PI / 1440.0), 2.0) << k;
        EXPECT_LT(sine_table[k], 65536) << k;
    }
}

// The second and fourth quarters read the table one step off (entry 719 - i), so that
// fine_sin(720) == fine_sin(719); both functions reduce any angle to one turn.
TEST(FineSin, QuartersMirrorOneStepOffAndAnglesReduce) {
    for (int turn = -2; turn <= 1; ++turn) {
        for (int i = 0; i < FINE_QUARTER; ++i) {
            const int32_t a = turn * FINE_ANGLES + i;
            const int32_t expected[4] = {sine_table[i], sine_table[719 - i], -sine_table[i],
                                         -sine_table[719 - i]};
            for (int q = 0; q < 4; ++q) {
                ASSERT_EQ(fine_sin(a + q * FINE_QUARTER), expected[q]) << a << " quarter " << q;
                ASSERT_EQ(fine_sin32(a + q * FINE_QUARTER), expected[q]) << a << " quarter " << q;
                ASSERT_EQ(fine_cos(a + (q + 3) * FINE_QUARTER), expected[q]) << a << " " << q;
            }
        }
    }
}

TEST(DegSin, ValuesAndReduction) {
    const struct {
        Fixed angle;
        Fixed value;
    } cases[] = {{0, 0},
                 {0x5A0000, 65535},
                 {0xB40000, 0},
                 {0x10E0000, -65535},
                 {-0x5A0000, -65535},
                 {static_cast<Fixed>(0xFFEC0000), -sine_table[159]},  // -20 degrees
                 {0x1FFF, 0},                                         // below one table step
                 {0x2000, 143}};
    for (const auto& c : cases) EXPECT_EQ(deg_sin(c.angle), c.value) << std::hex << c.angle;
    EXPECT_EQ(deg_cos(0), 65535);
    EXPECT_EQ(deg_cos(0x5A0000), 0);
    // Whole degrees agree with fine angles, over several turns either way.
    for (int x = -720; x <= 720; ++x) {
        EXPECT_EQ(deg_sin(x << 16), fine_sin(8 * x)) << x;
        EXPECT_EQ(deg_cos(x << 16), fine_cos(8 * x)) << x;
    }
    for (int n = -5; n <= 5; ++n)
        EXPECT_EQ(deg_sin(0x123456 + DEGREES_TURN * n), deg_sin(0x123456));
}

}  // namespace
