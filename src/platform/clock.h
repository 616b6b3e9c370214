// The show's two clocks. frame_count counts presented frames on the main thread; it starts
// at 0xFFFFFFFF so the first frame runs with 0, and it stamps the per-frame vertex cache.
// tick_count and row_count count music ticks and rows; the audio thread writes them (through
// count_tick and count_row, the player's callbacks) and the main thread reads them, each
// access a single relaxed atomic word. In the browser build the main loop sets tick_count
// itself, once a frame, to the tick being heard (platform/web/audio_link.h).
#pragma once

#include <atomic>
#include <cstdint>

extern uint32_t frame_count;
extern std::atomic<uint32_t> tick_count;
extern std::atomic<uint32_t> row_count;

// The player's per-tick and per-row callbacks; the user data is ignored.
void count_tick(void* data);
void count_row(void* data);
