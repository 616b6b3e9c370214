// core: the SDL-free core every target shares: the frame, palette and expansion, the clocks
// and pace, the show's random sequence, the music source.
//
// The show's two clocks. frame_count counts presented frames on the main thread; it starts
// at 0xFFFFFFFF so the first frame runs with 0, and it stamps the per-frame vertex cache.
// tick_count and row_count count music ticks and rows; the audio thread writes them (through
// count_tick and count_row, the player's callbacks) and the main thread reads them, each
// access a single relaxed atomic word. In the browser build the main loop sets tick_count
// itself, once a frame, to the tick being heard (platform/web/audio_link.h).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

// The show's pace: a frame every 17 ms (58.8 a second).
inline constexpr uint32_t FRAME_PERIOD_MS = 17;

extern uint32_t frame_count;
extern std::atomic<uint32_t> tick_count;
extern std::atomic<uint32_t> row_count;

// The player's per-tick and per-row callbacks; the user data is ignored.
void count_tick(void* data);
void count_row(void* data);

// How long a frame that started at `stamp` waits when the clock reads `now` (both in
// milliseconds, unsigned 32-bit): 17 - elapsed when 1 <= elapsed <= 17, else 0. The clock
// may wrap; a frame that took 0 ms is not held.
uint32_t pacing_delay(uint32_t stamp, uint32_t now);

// Formats the frame-rate line "FPS: %2.1f\r" for a frame of elapsed_ms milliseconds (a
// zero-length frame prints as infinite). Returns the length written, as snprintf does.
int format_fps_line(char* out, size_t size, uint32_t elapsed_ms);
