// Renders 60 seconds of a dense synthetic module (all four channels playing looped samples,
// with arpeggio, vibrato, slides and tremolo changing pitch and volume every tick), the show's
// tune and a few corpus modules through player_render_s16 in 1024-frame buffers, as the device
// callback does.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <vector>

#include "music/player.h"

namespace {

void put_cell(uint8_t* b, uint8_t sample, uint16_t period, uint16_t effect) {
    b[0] = static_cast<uint8_t>((sample & 0xF0) | (period >> 8));
    b[1] = static_cast<uint8_t>(period);
    b[2] = static_cast<uint8_t>(((sample & 0x0F) << 4) | (effect >> 8));
    b[3] = static_cast<uint8_t>(effect);
}

std::vector<uint8_t> dense_module() {
    constexpr int patterns = 4;
    constexpr uint32_t sample_bytes = 8192;
    std::vector<uint8_t> image(MOD_HEADER_SIZE + patterns * MOD_PATTERN_SIZE + 4 * sample_bytes, 0);
    std::memcpy(image.data(), "dense", 5);
    for (int s = 0; s < 4; ++s) {
        uint8_t* h = image.data() + 20 + 30 * s;
        h[22] = sample_bytes / 2 >> 8;
        h[23] = sample_bytes / 2 & 0xFF;
        h[25] = 64;
        h[28] = (sample_bytes - 1024) / 2 >> 8;  // loop over all but the first 1 KiB
        h[29] = ((sample_bytes - 1024) / 2) & 0xFF;
        h[26] = 1024 / 2 >> 8;
    }
    image[950] = patterns;
    for (int i = 0; i < patterns; ++i) image[952 + i] = static_cast<uint8_t>(i);
    std::memcpy(image.data() + 1080, "M.K.", 4);
    const std::array<uint16_t, 4> effects = {0x047, 0x4A6, 0x5F1, 0x744};
    const std::array<uint16_t, 8> notes = {856, 640, 508, 428, 339, 285, 226, 170};
    for (int p = 0; p < patterns; ++p) {
        for (int r = 0; r < MOD_ROWS; ++r) {
            for (int c = 0; c < MOD_CHANNELS; ++c) {
                uint8_t* cell =
                    image.data() + MOD_HEADER_SIZE + p * MOD_PATTERN_SIZE + r * 16 + c * 4;
                const bool note = (r + c) % 4 == 0;
                put_cell(cell, note ? static_cast<uint8_t>(1 + c) : 0,
                         note ? notes[(r / 4 + c + p) % 8] : 0, effects[(c + r / 16) % 4]);
            }
        }
    }
    uint8_t* data = image.data() + MOD_HEADER_SIZE + patterns * MOD_PATTERN_SIZE;
    uint32_t x = 12345;
    for (uint32_t k = 0; k < 4 * sample_bytes; ++k) {  // noisy saw waves
        x = x * 1103515245u + 12345u;
        data[k] = static_cast<uint8_t>((k * (3 + k / sample_bytes)) + (x >> 28));
    }
    return image;
}

// Renders 60 seconds of `image`, looping, as the device callback does: 1024-frame buffers, with
// ramping as the benchmark's argument says (1, the default everywhere, or 0: the exact output).
// Reports the speed as multiples of real time and a checksum that changes with the output.
void render_60s(benchmark::State& state, const std::vector<uint8_t>& image) {
    constexpr int32_t seconds = 60;
    std::vector<int16_t> out(2 * 1024);
    uint32_t checksum = 0;
    for (auto _ : state) {
        checksum = 0;
        ModPlayer* p = player_create(44100, image.data(), static_cast<uint32_t>(image.size()));
        player_set_looping(p, 1);
        player_set_ramping(p, static_cast<uint8_t>(state.range(0)));
        for (int32_t done = 0; done < 44100 * seconds; done += 1024) {
            player_render_s16(p, out.data(), 1024);
            checksum = checksum * 31 + static_cast<uint16_t>(out[0] ^ out[1023] ^ out[2047]);
        }
        benchmark::DoNotOptimize(checksum);
        player_free(p);
    }
    state.counters["x_real_time"] =
        benchmark::Counter(static_cast<double>(seconds) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
    state.counters["checksum"] = checksum;
}

void BM_RenderDense60s(benchmark::State& state) {
    render_60s(state, dense_module());
}
BENCHMARK(BM_RenderDense60s)->ArgName("ramp")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// Real modules, as the program and modplay play them: 60 seconds with looping on, rendered in
// 1024-frame buffers from the file image in memory. Run from the repository root; corpus files
// are skipped when ../shared is absent.
std::vector<uint8_t> read_file(const char* path) {
    std::vector<uint8_t> image;
    if (FILE* f = std::fopen(path, "rb")) {
        uint8_t chunk[65536];
        size_t got;
        while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0)
            image.insert(image.end(), chunk, chunk + got);
        std::fclose(f);
    }
    return image;
}

void BM_RenderModule60s(benchmark::State& state, const char* path) {
    const std::vector<uint8_t> image = read_file(path);
    ModPlayer* probe = player_create(44100, image.data(), static_cast<uint32_t>(image.size()));
    if (probe == nullptr) {
        state.SkipWithError("module missing or refused");
        return;
    }
    player_free(probe);
    render_60s(state, image);
}

#define MODULE_BENCH(name, path)                      \
    BENCHMARK_CAPTURE(BM_RenderModule60s, name, path) \
        ->ArgName("ramp")                             \
        ->Arg(1)                                      \
        ->Arg(0)                                      \
        ->Unit(benchmark::kMillisecond)
MODULE_BENCH(brumo, "res/brumo.mod");
MODULE_BENCH(agony, "../shared/corpus/mod/agony.mod");
MODULE_BENCH(man_s_mi, "../shared/corpus/mod/man_s_mi.mod");
MODULE_BENCH(space_traveller_2, "../shared/corpus/mod/space_traveller_2.mod");
MODULE_BENCH(nightfall, "../shared/corpus/mod/jesper_kyd_-_nightfall.mod");
MODULE_BENCH(CITRON, "../shared/corpus/mod/CITRON.MOD");

}  // namespace
