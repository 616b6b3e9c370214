#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <tuple>

#include "math/matrix.h"
#include "math/trig.h"

namespace {

// Each entry is the sine rounded to 16.16, capped below 1.0.
TEST(SineTable, IsTheRoundedSineCappedBelowOne) {
    for (int k = 0; k < SINE_TABLE_SIZE; ++k)
        ASSERT_NEAR(sine_table[k], std::min(65536.0 * std::sin(k * M_PI / 1440.0), 65535.0), 0.5001)
            << k;
}

// The second and fourth quarters read the table one step off (entry 719 - i), so that
// fine_sin(720) == fine_sin(719); every function reduces any angle to one turn, and whole
// degrees agree with fine angles.
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
    for (int x = -720; x <= 720; ++x) {
        ASSERT_EQ(deg_sin(x << 16), fine_sin(8 * x)) << x;
        ASSERT_EQ(deg_cos(x << 16), fine_cos(8 * x)) << x;
    }
}

// Fractions of a degree below one table step (1/8 degree) are dropped.
TEST(DegSin, FractionsAndWholeTurns) {
    const Fixed cases[][2] = {{0x1FFF, 0}, {0x2000, 143}, {0x5A1FFF, 65535}, {-0x4000, -143}};
    for (const auto& [angle, value] : cases) EXPECT_EQ(deg_sin(angle), value) << std::hex << angle;
    for (int n = -5; n <= 5; ++n)
        EXPECT_EQ(deg_sin(0x123456 + DEGREES_TURN * n), deg_sin(0x123456));
}

bool operator==(const Matrix& a, const Matrix& b) {
    return std::memcmp(&a, &b, sizeof(Matrix)) == 0;
}

Matrix filled(Fixed base) {
    Matrix m;
    for (int i = 0; i < 16; ++i) m.m[i / 4][i % 4] = base + i * 0x1357;
    return m;
}

struct MatrixStack : testing::Test {
    void SetUp() override {
        while (matrix_depth > 0) matrix_pop();
        matrix_reset();
    }
    void TearDown() override { SetUp(); }
};

// l x p with each product floored to 16.16 on its own before the terms are summed, for random
// matrices and for the current matrix as its own factor.
TEST_F(MatrixStack, MultiplyMatchesTheTermByTermProduct) {
    std::mt19937 random(3);
    std::uniform_int_distribution<Fixed> any(-0x40000, 0x40000);
    auto product = [](const Matrix& l, const Matrix& p) {
        Matrix t{};
        for (int i = 0; i < 64; ++i)
            t.m[i / 16][i / 4 % 4] += static_cast<Fixed>(
                std::floor(l.m[i / 16][i % 4] * double(p.m[i % 4][i / 4 % 4]) / 65536));
        return t;
    };
    for (int n = 0; n < 100; ++n) {
        Matrix l, p;
        for (int i = 0; i < 32; ++i) (i < 16 ? l : p).m[i / 4 % 4][i % 4] = any(random);
        *current_matrix = p;
        matrix_multiply_current(&l);
        ASSERT_TRUE(*current_matrix == product(l, p)) << n;
        p = *current_matrix;
        matrix_multiply_current(current_matrix);
        ASSERT_TRUE(*current_matrix == product(p, p)) << n;
    }
}

// Written over a filled matrix: rotation_x keeps column 3 and clears the rest of row 3, the
// other constructors clear the translation and set the corner to 1.0 (their 3 x 3 parts: the
// Euler comparison). The translation helpers wrap.
TEST_F(MatrixStack, ConstructorsAndTranslation) {
    const Matrix k = filled(7);
    Matrix built[4] = {k, k, k, k};
    matrix_rotation_x(&built[0], 0x1E0000);
    matrix_rotation_y(&built[1], 0x1E0000);
    matrix_rotation_z(&built[2], 0x1E0000);
    matrix_scaling(&built[3], 2, 3, 4);
    for (int i = 0; i < 16; ++i) {
        const Matrix& m = built[i / 4];
        const int j = i % 4, one = j == 3 ? FIXED_ONE : 0;
        EXPECT_EQ(m.m[3][j], i < 4 ? (j == 3 ? k.m[3][3] : 0) : one) << i;
        EXPECT_EQ(m.m[j][3], i < 4 ? k.m[j][3] : one) << i;
    }
    EXPECT_EQ(std::tuple(built[3].m[0][0], built[3].m[1][1], built[3].m[2][2], built[3].m[1][0]),
              std::tuple(2, 3, 4, 0));
    Matrix m = k;
    matrix_set_translation(&m, 0x7FFFFFFF, 0, 9);
    matrix_add_translation(&m, 1, 5, -5);
    matrix_translate_current(&m);
    for (const Matrix* t : {&m, current_matrix})
        EXPECT_EQ(std::tuple(t->m[3][0], t->m[3][1], t->m[3][2]), std::tuple(INT32_MIN, 5, 4));
}

// Rz(c) x Rx(b) x Ry(a) from the single-axis constructors, composed on the stack at random
// angles: the same rotation by another route, each step rounding on its own. Row 3 and column
// 3 are left as they were.
TEST_F(MatrixStack, EulerRotationMatchesTheComposedAxes) {
    std::mt19937 random(8);
    auto angle = [&random] { return (static_cast<Fixed>(random() % 720) - 360) * FIXED_ONE; };
    for (int n = 0; n < 40; ++n) {
        const Fixed a = angle(), b = angle(), c = angle();
        Matrix x, y, z, euler = filled(7);
        matrix_identity(&x);
        matrix_rotation_x(&x, b);
        matrix_rotation_y(&y, a);
        matrix_rotation_z(&z, c);
        *current_matrix = y;
        matrix_multiply_current(&x);
        matrix_multiply_current(&z);
        matrix_euler_rotation(&euler, a, b, c);
        for (int i = 0; i < 16; ++i) {
            const bool rotation = i / 4 < 3 && i % 4 < 3;
            EXPECT_NEAR(euler.m[i / 4][i % 4],
                        (rotation ? *current_matrix : filled(7)).m[i / 4][i % 4], 6)
                << (a >> 16) << ", " << (b >> 16) << ", " << (c >> 16) << " at " << i;
        }
        EXPECT_EQ(euler.m[2][1], -deg_sin(b));
    }
}

// Pushes copy the slot below into slots 1..7; those past the top are counted, not stored,
// and pops undo them first; pops below the base do nothing.
TEST_F(MatrixStack, PushAndPopStayInsideTheStackAndBalance) {
    *current_matrix = filled(3);
    for (int i = 1; i < 12; ++i) {
        matrix_push();
        const int slot = std::min(i, MATRIX_STACK_SLOTS - 1);
        ASSERT_EQ(current_matrix, &matrix_stack[slot]) << i;
        ASSERT_EQ(matrix_depth, slot);
        EXPECT_TRUE(i != slot || matrix_stack[i] == matrix_stack[i - 1]) << "a push copies " << i;
        current_matrix->m[0][0] = i;
    }
    for (int i = 0; i < 10; ++i) matrix_pop();
    EXPECT_EQ(matrix_depth, 1) << "the refused pushes are popped first";
    for (int i = 0; i < 3; ++i) matrix_pop();
    EXPECT_EQ(current_matrix, &matrix_stack[0]);
    EXPECT_TRUE(*current_matrix == filled(3));
}

}  // namespace
