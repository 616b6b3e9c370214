// The main timeline as pure functions of the music's tick count: the phase, the flashes, the
// word groups, the bob and swell, and the figure launches. Ticks come 50 a second at the
// music's initial tempo, and the timeline follows them, not frames, so the show keeps time
// with the music whatever the frame rate.
#pragma once

#include <cstdint>

#include "math/fixed.h"

enum ShowPhase : int {
    PHASE_TURN = 1,   // ticks 0..899: the pumpkin turns about its vertical axis
    PHASE_TILT = 2,   // ticks 900..999: the turn stops and the pumpkin tilts back
    PHASE_PULSE = 3,  // from tick 1000: it bobs and swells with the beat, figures fly
};

inline constexpr uint32_t TILT_START_TICK = 900;
inline constexpr uint32_t PULSE_START_TICK = 1000;
inline constexpr uint32_t BEAT_TICKS = 24;  // one bob and swell cycle, one figure

ShowPhase show_phase(uint32_t tick);

// The two white flashes.
bool is_flash_tick(uint32_t tick);

// Words 1 to 3 up to tick 999, words 4 and 5 afterwards.
bool first_words_shown(uint32_t tick);

// The tick angle T: 3 degrees per tick as a Fixed-degree angle, wrapping in 32 bits as the
// timeline's arithmetic does (only phases 1 and 2 use it, long before it wraps).
Fixed tick_angle(uint32_t tick);

// sin(15 degrees per tick), the bob and swell of phase 3. Taken modulo a full turn before it
// is scaled, so it never jumps however large the tick count grows.
Fixed beat_sine(uint32_t tick);

// Whether a figure is launched at this tick reading: once per 24-tick cycle after tick 1000,
// on the first reading in 13..19 of the cycle. The latch remembers that the current cycle has
// launched one; readings outside 13..19 clear it. At tick 1000 and before it is left alone.
bool figure_due(uint32_t tick, bool* latch);
