// The rotation, scaling, translation and Euler constructors are pinned by render_test's
// RandomScenesMatchTheRecordedHash, which builds every node matrix with them.
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
// fine_sin(720) == fine_sin(719); every function reduces any angle to one turn, and deg_sin
// drops fractions below one table step (1/8 degree).
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
    for (int32_t a = -3 * FINE_ANGLES; a <= 3 * FINE_ANGLES; ++a) {
        const Fixed angle = a * 0x2000 + (a * 37 & 0x1FFF);  // a / 8 degree and a fraction
        ASSERT_EQ(deg_sin(angle), fine_sin(a)) << a;
        ASSERT_EQ(deg_cos(angle), fine_cos(a)) << a;
    }
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

// Translations add with wrapping, onto a matrix and onto the current one.
TEST_F(MatrixStack, TranslationsAddAndWrap) {
    Matrix m = filled(7);
    matrix_set_translation(&m, 0x7FFFFFFF, 0, 9);
    matrix_add_translation(&m, 1, 5, -5);
    matrix_translate_current(&m);
    for (const Matrix* t : {&m, current_matrix})
        EXPECT_EQ(std::tuple(t->m[3][0], t->m[3][1], t->m[3][2]), std::tuple(INT32_MIN, 5, 4));
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
