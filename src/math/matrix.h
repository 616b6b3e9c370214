// Matrix: 4 x 4 Fixed, row-vector convention (v' = v x M). Rows 0..2 are the images of the
// X, Y and Z axes, row 3 columns 0..2 the translation; column 3 is (0, 0, 0, 1) in every
// matrix the system builds. A composed L x P applies L first.
//
// The matrix stack has MATRIX_STACK_SLOTS slots; slot 0 is the base. The scene graph pushes
// once per level, so a tree may be at most seven levels deep.
#pragma once

#include <array>
#include <cstdint>

#include "math/fixed.h"

struct Matrix {
    Fixed m[4][4];
};

inline constexpr int MATRIX_STACK_SLOTS = 8;

extern std::array<Matrix, MATRIX_STACK_SLOTS> matrix_stack;
extern int32_t matrix_depth;
extern Matrix* current_matrix;

void matrix_identity(Matrix* m);
void matrix_reset();
// Rotations take Fixed-degree angles. rotation_x writes columns 0..2 only; rotation_y,
// rotation_z and scaling write the whole matrix (and so clear any translation).
void matrix_rotation_x(Matrix* m, Fixed angle);
void matrix_rotation_y(Matrix* m, Fixed angle);
void matrix_rotation_z(Matrix* m, Fixed angle);
void matrix_scaling(Matrix* m, Fixed sx, Fixed sy, Fixed sz);
void matrix_set_translation(Matrix* m, Fixed x, Fixed y, Fixed z);
void matrix_add_translation(Matrix* m, Fixed dx, Fixed dy, Fixed dz);
void matrix_translate_current(const Matrix* m);
// Rows 0..2, columns 0..2 of Rz(c) x Rx(b) x Ry(a): roll first, then pitch, then heading.
void matrix_euler_rotation(Matrix* m, Fixed a, Fixed b, Fixed c);
// current_matrix = l x current_matrix; each product term is shifted down before summing.
void matrix_multiply_current(const Matrix* l);
// A push beyond the top slot or a pop below the base is counted but writes nothing outside
// the stack: the extra levels share the top (or base) slot, and the counts stay balanced.
void matrix_push();
void matrix_pop();
