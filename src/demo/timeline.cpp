#include "demo/timeline.h"

#include "math/trig.h"

namespace {

constexpr uint32_t kFlashTicks[] = {920, 925};
// The part of each beat cycle in which a figure may be launched.
constexpr uint32_t kLaunchFirst = 13;
constexpr uint32_t kLaunchLast = 19;

}  // namespace

ShowPhase show_phase(uint32_t tick) {
    if (tick < TILT_START_TICK) return PHASE_TURN;
    if (tick < PULSE_START_TICK) return PHASE_TILT;
    return PHASE_PULSE;
}

bool is_flash_tick(uint32_t tick) {
    for (uint32_t flash : kFlashTicks)
        if (tick == flash) return true;
    return false;
}

bool first_words_shown(uint32_t tick) {
    return tick < PULSE_START_TICK;
}

Fixed tick_angle(uint32_t tick) {
    return static_cast<Fixed>(tick * 3u * 65536u);
}

Fixed beat_sine(uint32_t tick) {
    // 15 x tick degrees modulo 360 is 15 x (tick mod 24) degrees.
    const int32_t degrees = static_cast<int32_t>(tick % BEAT_TICKS) * 15;
    return deg_sin(degrees << 16);
}

bool figure_due(uint32_t tick, bool* latch) {
    if (tick <= PULSE_START_TICK) return false;
    const uint32_t r = tick % BEAT_TICKS;
    if (r < kLaunchFirst || r > kLaunchLast) {
        *latch = false;
        return false;
    }
    const bool due = !*latch;
    *latch = true;
    return due;
}
