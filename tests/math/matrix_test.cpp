#include "math/matrix.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "math/trig.h"

namespace {

bool operator==(const Matrix& a, const Matrix& b) {
    return std::memcmp(&a, &b, sizeof(Matrix)) == 0;
}

Matrix filled(Fixed base) {
    Matrix m;
    for (int i = 0; i < 16; ++i) m.m[i / 4][i % 4] = base + i * 0x1357;
    return m;
}

class MatrixStack : public ::testing::Test {
   protected:
    void SetUp() override {
        while (matrix_depth > 0) matrix_pop();
        matrix_reset();
    }
    void TearDown() override { SetUp(); }
};

// l x p with each product floored to 16.16 on its own before the terms are summed.
TEST_F(MatrixStack, MultiplyMatchesTheTermByTermProduct) {
    std::mt19937 random(3);
    std::uniform_int_distribution<Fixed> any(-0x40000, 0x40000);
    auto product = [](const Matrix& l, const Matrix& p) {
        Matrix t{};
        for (int i = 0; i < 16; ++i)
            for (int k = 0; k < 4; ++k)
                t.m[i / 4][i % 4] +=
                    static_cast<Fixed>(std::floor(l.m[i / 4][k] * double(p.m[k][i % 4]) / 65536));
        return t;
    };
    for (int n = 0; n < 100; ++n) {
        Matrix l, p;
        for (int i = 0; i < 32; ++i) (i < 16 ? l : p).m[i / 4 % 4][i % 4] = any(random);
        *current_matrix = p;
        matrix_multiply_current(&l);
        ASSERT_TRUE(*current_matrix == product(l, p)) << n;
        p = *current_matrix;
        matrix_multiply_current(current_matrix);  // the current matrix as l
        ASSERT_TRUE(*current_matrix == product(p, p)) << n;
    }
}

TEST_F(MatrixStack, ConstructorsAndTranslation) {
    const Fixed s = deg_sin(0x1E0000), c = deg_cos(0x1E0000), one = FIXED_ONE;  // 30 degrees
    const Matrix k = filled(7);
    Matrix built[4] = {k, k, k, k};
    matrix_rotation_x(&built[0], 0x1E0000);  // columns 0..2 only
    matrix_rotation_y(&built[1], 0x1E0000);
    matrix_rotation_z(&built[2], 0x1E0000);
    matrix_scaling(&built[3], 2, 3, 4);
    const auto& f = k.m;  // column 3 of the matrix written over
    const Matrix expected[4] = {
        {{{one, 0, 0, f[0][3]}, {0, c, s, f[1][3]}, {0, -s, c, f[2][3]}, {0, 0, 0, f[3][3]}}},
        {{{c, 0, -s, 0}, {0, one, 0, 0}, {s, 0, c, 0}, {0, 0, 0, one}}},
        {{{c, s, 0, 0}, {-s, c, 0, 0}, {0, 0, one, 0}, {0, 0, 0, one}}},
        {{{2, 0, 0, 0}, {0, 3, 0, 0}, {0, 0, 4, 0}, {0, 0, 0, one}}}};
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(built[i] == expected[i]) << i;
    Matrix m = k;
    matrix_set_translation(&m, 0x7FFFFFFF, 0, 0);
    matrix_add_translation(&m, 1, 5, -5);  // wrapping
    EXPECT_EQ(m.m[3][0], INT32_MIN);
    EXPECT_EQ(m.m[3][1], 5);
    matrix_translate_current(&m);
    EXPECT_EQ(current_matrix->m[3][2], -5);
    EXPECT_EQ(current_matrix->m[3][1], 5);
}

// Rz(c) x Rx(b) x Ry(a) from the single-axis constructors, composed on the stack: the same
// rotation reached by another route, each step rounding on its own.
TEST_F(MatrixStack, EulerRotationMatchesTheComposedAxes) {
    const int angles[][3] = {{30, 0, 0},      {30, 45, 60},    {90, 90, 90},   {0, 90, 0},
                             {45, 45, 45},    {120, -30, 200}, {-75, 10, 300}, {359, 181, 1},
                             {200, 270, 135}, {15, -60, -45},  {270, 45, 90}};
    for (const auto& degrees : angles) {
        const Fixed a = degrees[0] << 16, b = degrees[1] << 16, c = degrees[2] << 16;
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
            const int r = i / 4, col = i % 4;  // row 3 and column 3 are left as they are
            const Fixed expected =
                r < 3 && col < 3 ? current_matrix->m[r][col] : filled(7).m[r][col];
            EXPECT_NEAR(euler.m[r][col], expected, 6)
                << degrees[0] << ", " << degrees[1] << ", " << degrees[2] << " at " << r << col;
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
