#include "math/matrix.h"

#include <gtest/gtest.h>

#include "math/trig.h"

namespace {

Matrix filled(Fixed base) {
    Matrix m;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) m.m[r][c] = base + (r * 4 + c) * 0x1357;
    return m;
}

bool same(const Matrix& a, const Matrix& b) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (a.m[r][c] != b.m[r][c]) return false;
    return true;
}

class MatrixStack : public ::testing::Test {
   protected:
    void SetUp() override {
        while (matrix_depth > 0) matrix_pop();
        matrix_reset();
    }
    void TearDown() override { SetUp(); }
};

TEST_F(MatrixStack, IdentityIsNeutralOnBothSides) {
    Matrix l = filled(0x12345);
    Matrix identity;
    matrix_identity(&identity);

    *current_matrix = l;
    matrix_multiply_current(&identity);
    EXPECT_TRUE(same(*current_matrix, l));

    matrix_reset();
    matrix_multiply_current(&l);
    EXPECT_TRUE(same(*current_matrix, l));
}

TEST_F(MatrixStack, EachTermIsRoundedDownBeforeSumming) {
    Matrix half{};
    for (int i = 0; i < 3; ++i) half.m[i][i] = 0x8000;
    half.m[3][3] = 0x10000;
    *current_matrix = half;
    matrix_multiply_current(&half);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(current_matrix->m[i][i], 0x4000);
    EXPECT_EQ(current_matrix->m[3][3], 0x10000);

    // -1/65536 x 0.5 shifts to -1, not 0: the shift floors each product on its own.
    Matrix l{}, p{};
    l.m[0][0] = -1;
    l.m[0][1] = -1;
    p.m[0][0] = 0x8000;
    p.m[1][0] = 0x8000;
    *current_matrix = p;
    matrix_multiply_current(&l);
    EXPECT_EQ(current_matrix->m[0][0], -2);
}

TEST_F(MatrixStack, MultiplyAcceptsACopyOfTheCurrentMatrix) {
    Matrix p = filled(0x8000);
    *current_matrix = p;
    Matrix expected;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            int32_t sum = 0;
            for (int k = 0; k < 4; ++k)
                sum = wrap_add(sum, static_cast<int32_t>((int64_t{p.m[i][k]} * p.m[k][j]) >> 16));
            expected.m[i][j] = sum;
        }
    matrix_multiply_current(current_matrix);
    EXPECT_TRUE(same(*current_matrix, expected));
}

TEST_F(MatrixStack, RotationXKeepsColumnThreeAndClearsTranslation) {
    Matrix m = filled(7);
    matrix_rotation_x(&m, 0x1E0000);  // 30 degrees
    Fixed s = deg_sin(0x1E0000), c = deg_cos(0x1E0000);
    const Fixed expected[4][3] = {{0x10000, 0, 0}, {0, c, s}, {0, -s, c}, {0, 0, 0}};
    for (int r = 0; r < 4; ++r)
        for (int col = 0; col < 3; ++col) EXPECT_EQ(m.m[r][col], expected[r][col]);
    Matrix original = filled(7);
    for (int r = 0; r < 4; ++r) EXPECT_EQ(m.m[r][3], original.m[r][3]);
}

TEST_F(MatrixStack, ConstructorsAndTranslationOrder) {
    Matrix m;
    matrix_rotation_y(&m, 0x5A0000);
    matrix_set_translation(&m, 1, 2, 3);
    EXPECT_EQ(m.m[0][0], 0);
    EXPECT_EQ(m.m[0][2], -65535);
    EXPECT_EQ(m.m[2][0], 65535);
    EXPECT_EQ(m.m[1][1], 0x10000);
    EXPECT_EQ(m.m[3][0], 1);
    EXPECT_EQ(m.m[3][2], 3);

    matrix_rotation_y(&m, 0);
    EXPECT_EQ(m.m[3][0], 0) << "a rotation after a translation discards it";
    EXPECT_EQ(m.m[0][0], 65535) << "cos 0 is the table's largest value, not 1.0";
    EXPECT_EQ(m.m[1][1], 0x10000);

    matrix_rotation_z(&m, 0x5A0000);
    EXPECT_EQ(m.m[0][1], 65535);
    EXPECT_EQ(m.m[1][0], -65535);
    matrix_scaling(&m, 2, 3, 4);
    EXPECT_EQ(m.m[0][0], 2);
    EXPECT_EQ(m.m[2][2], 4);
    EXPECT_EQ(m.m[3][3], 0x10000);
    EXPECT_EQ(m.m[0][1], 0);
}

TEST_F(MatrixStack, TranslationHelpersWrap) {
    Matrix m;
    matrix_identity(&m);
    matrix_set_translation(&m, 0x7FFFFFFF, 0, 0);
    matrix_add_translation(&m, 1, 5, -5);
    EXPECT_EQ(m.m[3][0], INT32_MIN);
    EXPECT_EQ(m.m[3][1], 5);
    matrix_translate_current(&m);
    EXPECT_EQ(current_matrix->m[3][2], -5);
}

// Rz(c) x Rx(b) x Ry(a) composed from the single-axis constructors on the stack: the same
// rotation reached by a different route, each step rounding on its own.
Matrix composed_rotation(Fixed a, Fixed b, Fixed c) {
    Matrix x, y, z;
    matrix_identity(&x);
    matrix_rotation_x(&x, b);
    matrix_rotation_y(&y, a);
    matrix_rotation_z(&z, c);
    matrix_push();
    *current_matrix = y;
    matrix_multiply_current(&x);
    matrix_multiply_current(&z);
    Matrix result = *current_matrix;
    matrix_pop();
    return result;
}

TEST_F(MatrixStack, EulerRotationWithAllThreeAnglesMatchesTheComposedAxes) {
    // Heading, pitch, roll in whole degrees; every three-factor term is large in some entry.
    const int angles[][3] = {
        {30, 0, 0},      {30, 45, 60},    {90, 90, 90},   {0, 90, 0},
        {45, 45, 45},    {120, -30, 200}, {-75, 10, 300}, {359, 181, 1},
        {200, 270, 135}, {15, -60, -45},  {270, 45, 90},
    };
    for (const auto& degrees : angles) {
        const Fixed a = degrees[0] * FIXED_ONE, b = degrees[1] * FIXED_ONE,
                    c = degrees[2] * FIXED_ONE;
        Matrix euler = filled(7);
        matrix_euler_rotation(&euler, a, b, c);
        const Matrix expected = composed_rotation(a, b, c);
        for (int r = 0; r < 3; ++r)
            for (int col = 0; col < 3; ++col)
                EXPECT_NEAR(euler.m[r][col], expected.m[r][col], 6)
                    << "angles " << degrees[0] << ", " << degrees[1] << ", " << degrees[2]
                    << " at m[" << r << "][" << col << "]";
        EXPECT_EQ(euler.m[2][1], -deg_sin(b));
        for (int k = 0; k < 4; ++k) {  // row 3 and column 3 are left as they are
            EXPECT_EQ(euler.m[3][k], filled(7).m[3][k]);
            EXPECT_EQ(euler.m[k][3], filled(7).m[k][3]);
        }
    }
}

TEST_F(MatrixStack, PushAndPopUseSlotsOneToSeven) {
    Matrix base = filled(3);
    *current_matrix = base;
    for (int i = 1; i < MATRIX_STACK_SLOTS; ++i) {
        matrix_push();
        EXPECT_EQ(current_matrix, &matrix_stack[i]);
        EXPECT_TRUE(same(*current_matrix, matrix_stack[i - 1])) << "a push copies the slot below";
        current_matrix->m[0][0] = i;
    }
    for (int i = 1; i < MATRIX_STACK_SLOTS; ++i) matrix_pop();
    EXPECT_EQ(current_matrix, &matrix_stack[0]);
    EXPECT_TRUE(same(*current_matrix, base));
}

TEST_F(MatrixStack, OverflowAndUnderflowStayInsideAndBalance) {
    for (int i = 0; i < 12; ++i) matrix_push();
    EXPECT_EQ(matrix_depth, MATRIX_STACK_SLOTS - 1);
    EXPECT_EQ(current_matrix, &matrix_stack[MATRIX_STACK_SLOTS - 1]);
    for (int i = 0; i < 11; ++i) matrix_pop();
    EXPECT_EQ(matrix_depth, 1) << "the refused pushes are popped first";
    matrix_pop();
    matrix_pop();
    matrix_pop();
    EXPECT_EQ(matrix_depth, 0);
    EXPECT_EQ(current_matrix, &matrix_stack[0]);
}

}  // namespace
