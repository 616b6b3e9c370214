// One whole main-scene frame in phase 3 with figures flying: transform, clear, draw, figures,
// words, and the expansion into a 32-bit surface; against a memset of that 1.5 MB surface.
// Run from the repository root (it loads res/).
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "core/clock.h"
#include "core/expand.h"
#include "core/framebuffer.h"
#include "demo/headless.h"
#include "effects/burst.h"

namespace {

constexpr size_t kSurfaceBytes = size_t{SCREEN_WIDTH} * SCREEN_HEIGHT * 4;

void BM_MainSceneFrame(benchmark::State& state) {
    static HeadlessShow show;
    static bool started = false;
    if (!started) {
        if (headless_start(&show, "res/brumo.mod", nullptr, nullptr) < 0) {
            state.SkipWithError("cannot load res/ (run from the repository root)");
            return;
        }
        // Play into phase 3, where the pumpkin pulses and the figures fly.
        headless_play_to_tick(&show, 1100);
        started = true;
    }
    std::vector<uint32_t> surface(SCREEN_WIDTH * SCREEN_HEIGHT);
    uint32_t tick = 1100;
    for (auto _ : state) {
        // Walk the beat so the pumpkin moves and a figure is launched every cycle.
        tick_count.store(tick++);
        draw_main_frame(&show.run.main);
        expand_frame(rgbx_surface_palette(), framebuffer.pixels, FRAME_WIDTH, FRAME_HEIGHT,
                     surface.data(), SCREEN_WIDTH * 4);
        finish_main_frame(&show.run.main);
        benchmark::DoNotOptimize(surface.data());
        benchmark::ClobberMemory();
    }
    int flying = 0;
    for (const Burst& b : bursts) flying += b.active;
    state.counters["figures"] = flying;
}
BENCHMARK(BM_MainSceneFrame)->Unit(benchmark::kMicrosecond);

void BM_SurfaceMemset(benchmark::State& state) {
    std::vector<uint32_t> surface(SCREEN_WIDTH * SCREEN_HEIGHT);
    int value = 0;
    for (auto _ : state) {
        std::memset(surface.data(), ++value, kSurfaceBytes);
        benchmark::DoNotOptimize(surface.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_SurfaceMemset)->Unit(benchmark::kMicrosecond);

}  // namespace
