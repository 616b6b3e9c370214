#include "core/clock.h"

#include <cstdio>

uint32_t frame_count = 0xFFFFFFFF;
std::atomic<uint32_t> tick_count{0};
std::atomic<uint32_t> row_count{0};

// A single writer, so load-then-store needs no read-modify-write.
void count_tick(void*) {
    tick_count.store(tick_count.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
}

void count_row(void*) {
    row_count.store(row_count.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
}

uint32_t pacing_delay(uint32_t stamp, uint32_t now) {
    uint32_t left = stamp + FRAME_PERIOD_MS - now;
    return left < FRAME_PERIOD_MS ? left : 0;
}

int format_fps_line(char* out, size_t size, uint32_t elapsed_ms) {
    double rate = 1000.0 / static_cast<double>(elapsed_ms);
    return std::snprintf(out, size, "FPS: %2.1f\r", rate);
}
