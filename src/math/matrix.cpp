#include "math/matrix.h"

#include "math/trig.h"

std::array<Matrix, MATRIX_STACK_SLOTS> matrix_stack{};
int32_t matrix_depth = 0;
Matrix* current_matrix = &matrix_stack[0];

namespace {

// Pushes past the top slot (or pops past the base) that were refused; kept so that the
// matching pops (or pushes) restore the stack to where it was.
int32_t overflow_depth = 0;

void set_rows_3x3(Matrix* m, const Fixed (&rows)[3][3]) {
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) m->m[r][c] = rows[r][c];
}

void set_whole(Matrix* m, const Fixed (&rows)[4][4]) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) m->m[r][c] = rows[r][c];
}

// Euler products: each factor is halved first, so products of two values up to 1.0 fit in
// 32 bits; a two-factor product is then shifted by 14. The inner pair of a three-factor
// product is shifted by 15, which leaves it already halved (0x8000 for 1.0), so it meets the
// halved third factor as is: halving it again would halve the whole term.
int32_t mul2(int32_t a, int32_t b) {
    return ((a >> 1) * (b >> 1)) >> 14;
}
int32_t mul3(int32_t a, int32_t b, int32_t c) {
    int32_t half_ab = ((a >> 1) * (b >> 1)) >> 15;
    return (half_ab * (c >> 1)) >> 14;
}

}  // namespace

void matrix_identity(Matrix* m) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) m->m[r][c] = r == c ? FIXED_ONE : 0;
}

void matrix_reset() {
    matrix_identity(current_matrix);
}

void matrix_rotation_x(Matrix* m, Fixed angle) {
    Fixed s = deg_sin(angle);
    Fixed c = deg_cos(angle);
    set_rows_3x3(m, {{FIXED_ONE, 0, 0}, {0, c, s}, {0, -s, c}});
    m->m[3][0] = m->m[3][1] = m->m[3][2] = 0;
}

void matrix_rotation_y(Matrix* m, Fixed angle) {
    Fixed s = deg_sin(angle);
    Fixed c = deg_cos(angle);
    set_whole(m, {{c, 0, -s, 0}, {0, FIXED_ONE, 0, 0}, {s, 0, c, 0}, {0, 0, 0, FIXED_ONE}});
}

void matrix_rotation_z(Matrix* m, Fixed angle) {
    Fixed s = deg_sin(angle);
    Fixed c = deg_cos(angle);
    set_whole(m, {{c, s, 0, 0}, {-s, c, 0, 0}, {0, 0, FIXED_ONE, 0}, {0, 0, 0, FIXED_ONE}});
}

void matrix_scaling(Matrix* m, Fixed sx, Fixed sy, Fixed sz) {
    set_whole(m, {{sx, 0, 0, 0}, {0, sy, 0, 0}, {0, 0, sz, 0}, {0, 0, 0, FIXED_ONE}});
}

void matrix_set_translation(Matrix* m, Fixed x, Fixed y, Fixed z) {
    m->m[3][0] = x;
    m->m[3][1] = y;
    m->m[3][2] = z;
}

void matrix_add_translation(Matrix* m, Fixed dx, Fixed dy, Fixed dz) {
    m->m[3][0] = wrap_add(m->m[3][0], dx);
    m->m[3][1] = wrap_add(m->m[3][1], dy);
    m->m[3][2] = wrap_add(m->m[3][2], dz);
}

void matrix_translate_current(const Matrix* m) {
    matrix_add_translation(current_matrix, m->m[3][0], m->m[3][1], m->m[3][2]);
}

void matrix_euler_rotation(Matrix* m, Fixed a, Fixed b, Fixed c) {
    Fixed sa = deg_sin(a), ca = deg_cos(a);
    Fixed sb = deg_sin(b), cb = deg_cos(b);
    Fixed sc = deg_sin(c), cc = deg_cos(c);
    set_rows_3x3(m,
                 {{mul2(ca, cc) + mul3(sa, sb, sc), mul2(sc, cb), mul3(ca, sb, sc) - mul2(sa, cc)},
                  {mul3(sa, sb, cc) - mul2(ca, sc), mul2(cc, cb), mul2(sa, sc) + mul3(ca, sb, cc)},
                  {mul2(sa, cb), -sb, mul2(ca, cb)}});
}

void matrix_multiply_current(const Matrix* l) {
    const Matrix& p = *current_matrix;
    Matrix t;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            int32_t sum = 0;
            for (int k = 0; k < 4; ++k) {
                int64_t product = int64_t{l->m[i][k]} * p.m[k][j];
                sum = wrap_add(sum, static_cast<int32_t>(product >> 16));
            }
            t.m[i][j] = sum;
        }
    }
    *current_matrix = t;
}

void matrix_push() {
    if (overflow_depth > 0 || matrix_depth + 1 >= MATRIX_STACK_SLOTS) {
        ++overflow_depth;
        return;
    }
    matrix_stack[matrix_depth + 1] = *current_matrix;
    ++matrix_depth;
    current_matrix = &matrix_stack[matrix_depth];
}

void matrix_pop() {
    if (overflow_depth > 0) {
        --overflow_depth;
        return;
    }
    if (matrix_depth == 0) return;
    --matrix_depth;
    current_matrix = &matrix_stack[matrix_depth];
}
