#include "math/trig.h"

namespace {

// sin(x) for 0 <= x < pi/2 by its Taylor series, evaluated at compile time. Thirty terms
// are far more than double precision needs on this range.
constexpr double taylor_sin(double x) {
    double term = x;
    double sum = x;
    for (int n = 1; n < 30; ++n) {
        term *= -x * x / ((2.0 * n) * (2.0 * n + 1.0));
        sum += term;
    }
    return sum;
}

constexpr std::array<int32_t, SINE_TABLE_SIZE> make_sine_table() {
    constexpr double pi = 3.14159265358979323846;
    std::array<int32_t, SINE_TABLE_SIZE> table{};
    for (int k = 0; k < SINE_TABLE_SIZE; ++k) {
        double exact = 65536.0 * taylor_sin(k * pi / 1440.0);
        auto rounded = static_cast<int32_t>(exact + 0.5);
        table[k] = rounded > 65535 ? 65535 : rounded;
    }
    return table;
}

constexpr std::array<int32_t, SINE_TABLE_SIZE> kTable = make_sine_table();

// The defining values every user of the table relies on.
static_assert(kTable[0] == 0);
static_assert(kTable[1] == 143 && kTable[11] == 143 * 11);
static_assert(kTable[717] == 65535 && kTable[718] == 65535 && kTable[719] == 65535);

// Reads the quarter wave for r in 0..2879 (one table step per unit). The mirrored quarters
// read entry 719 - i, not 720 - i: they sit one step off the others, and callers rely on
// fine_sin(720) == fine_sin(719) == 65535.
constexpr int32_t quarter_wave(int32_t r) {
    int32_t quarter = r / FINE_QUARTER;
    int32_t i = r % FINE_QUARTER;
    switch (quarter) {
        case 0:
            return kTable[i];
        case 1:
            return kTable[FINE_QUARTER - 1 - i];
        case 2:
            return -kTable[i];
        default:
            return -kTable[FINE_QUARTER - 1 - i];
    }
}

}  // namespace

const std::array<int32_t, SINE_TABLE_SIZE> sine_table = kTable;

int32_t fine_sin32(int32_t angle) {
    int32_t r = angle % FINE_ANGLES;
    if (r < 0) r += FINE_ANGLES;
    return quarter_wave(r);
}

int64_t fine_sin(int32_t angle) {
    return fine_sin32(angle);
}

int64_t fine_cos(int32_t angle) {
    return fine_sin32(wrap_add(angle, FINE_QUARTER));
}

Fixed deg_sin(Fixed angle) {
    int32_t r = angle % DEGREES_TURN;
    if (r < 0) r += DEGREES_TURN;
    // The position within the quarter drops its fraction below 1/8 degree (13 bits): no
    // interpolation, so deg_sin(x << 16) == fine_sin(8 x) for whole degrees x.
    int32_t p = r % DEGREES_QUARTER;
    int32_t quarter = r / DEGREES_QUARTER;
    int32_t i = p >> 13;
    return quarter_wave(quarter * FINE_QUARTER + i);
}

Fixed deg_cos(Fixed angle) {
    return deg_sin(wrap_add(angle, DEGREES_QUARTER));
}
