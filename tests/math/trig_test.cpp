#include "math/trig.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(SineTable, MeetsItsDefiningValues) {
    EXPECT_EQ(sine_table[0], 0);
    for (int k = 1; k <= 11; ++k) EXPECT_EQ(sine_table[k], 143 * k) << k;
    for (int k = 1; k < SINE_TABLE_SIZE; ++k) EXPECT_LE(sine_table[k - 1], sine_table[k]) << k;
    for (int k : {717, 718, 719}) EXPECT_EQ(sine_table[k], 65535);
    for (int k = 0; k < SINE_TABLE_SIZE; ++k) {
        double exact = 65536.0 * std::sin(k * M_PI / 1440.0);
        EXPECT_NEAR(sine_table[k], exact, 2.0) << k;
        EXPECT_LT(sine_table[k], 65536);
    }
}

TEST(FineSin, QuarterBoundariesAndMirroring) {
    const struct {
        int32_t angle;
        int64_t value;
    } cases[] = {
        {0, 0},
        {1, 143},
        {719, 65535},
        {720, 65535},
        {1439, 0},
        {1440, 0},
        {1441, -143},
        {2160, -65535},
        {2879, 0},
        {-720, -65535},
        {-2880, 0},
        {2880 + 1, 143},
        {-2880 * 3 + 720, 65535},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fine_sin(c.angle), c.value) << c.angle;
        EXPECT_EQ(fine_sin32(c.angle), c.value) << c.angle;
    }
    EXPECT_EQ(fine_cos(0), 65535);
    EXPECT_EQ(fine_cos(720), fine_sin(1440));
}

TEST(FineSin, SecondAndFourthQuartersReadOneStepOff) {
    for (int i = 0; i < 720; ++i) {
        EXPECT_EQ(fine_sin(720 + i), sine_table[719 - i]);
        EXPECT_EQ(fine_sin(2160 + i), -sine_table[719 - i]);
        EXPECT_EQ(fine_sin(1440 + i), -sine_table[i]);
    }
}

TEST(DegSin, ValuesAndReduction) {
    const struct {
        Fixed angle;
        Fixed value;
    } cases[] = {
        {0, 0},
        {0x5A0000, 65535},
        {0xB40000, 0},
        {0x10E0000, -65535},
        {-0x5A0000, -65535},
        {static_cast<Fixed>(0xFFEC0000), -sine_table[159]},  // -20 degrees
        {0x1FFF, 0},                                         // below one table step
        {0x2000, 143},
    };
    for (const auto& c : cases) EXPECT_EQ(deg_sin(c.angle), c.value) << std::hex << c.angle;
    EXPECT_EQ(deg_cos(0), 65535);
    EXPECT_EQ(deg_cos(0x5A0000), 0);
}

TEST(DegSin, WholeDegreesAgreeWithFineAngles) {
    for (int x = -720; x <= 720; ++x) {
        EXPECT_EQ(deg_sin(x << 16), fine_sin(8 * x)) << x;
    }
    for (int n = -5; n <= 5; ++n) {
        EXPECT_EQ(deg_sin(0x123456 + DEGREES_TURN * n), deg_sin(0x123456)) << n;
        EXPECT_EQ(fine_sin(777 + FINE_ANGLES * n), fine_sin(777)) << n;
    }
}

}  // namespace
