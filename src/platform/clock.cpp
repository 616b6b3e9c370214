#include "platform/clock.h"

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
