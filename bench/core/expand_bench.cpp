// Frame expansion (400 x 240 indices to the 800 x 480 32-bit surface) against a memset of
// the same 1.5 MB: the memset is the floor any expansion has to pay.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "core/expand.h"
#include "core/framebuffer.h"

namespace {

constexpr size_t kSurfaceBytes = size_t{SCREEN_WIDTH} * SCREEN_HEIGHT * 4;

void BM_ExpandFrame(benchmark::State& state) {
    std::vector<uint8_t> src(FRAME_WIDTH * FRAME_HEIGHT);
    for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint8_t>(i * 7 + i / 400);
    std::vector<uint32_t> dst(SCREEN_WIDTH * SCREEN_HEIGHT);
    for (auto _ : state) {
        expand_frame(rgbx_surface_palette(), src.data(), FRAME_WIDTH, FRAME_HEIGHT, dst.data(),
                     SCREEN_WIDTH * 4);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSurfaceBytes));
}
BENCHMARK(BM_ExpandFrame)->Unit(benchmark::kMicrosecond);

void BM_MemsetBaseline(benchmark::State& state) {
    std::vector<uint32_t> dst(SCREEN_WIDTH * SCREEN_HEIGHT);
    int value = 0;
    for (auto _ : state) {
        std::memset(dst.data(), ++value, kSurfaceBytes);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSurfaceBytes));
}
BENCHMARK(BM_MemsetBaseline)->Unit(benchmark::kMicrosecond);

}  // namespace
