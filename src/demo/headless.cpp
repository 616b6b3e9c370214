#include "demo/headless.h"

#include <cstdlib>

#include "effects/burst.h"
#include "math/matrix.h"
#include "music/player.h"
#include "platform/clock.h"
#include "platform/framebuffer.h"
#include "platform/music_source.h"

namespace {

constexpr const char* kModulePath = "res/brumo.mod";
constexpr int32_t kChunkFrames = 1024;
constexpr uint32_t kMaxPeriodTerm = 65535;

// Renders the music up to stereo frame `target` after it started, as the device would have.
void render_music_to(HeadlessShow* show, uint64_t target) {
    int16_t chunk[2 * kChunkFrames];
    while (show->audio_frames < target) {
        uint64_t left = target - show->audio_frames;
        auto n = static_cast<int32_t>(left < kChunkFrames ? left : kChunkFrames);
        if (show->player != nullptr) {
            player_render_s16(show->player, chunk, n);
            if (show->sink != nullptr) show->sink(chunk, n, show->sink_data);
        }
        show->audio_frames += static_cast<uint64_t>(n);
    }
}

}  // namespace

int headless_start(HeadlessShow* show, const char* module_path, AudioSink sink, void* sink_data) {
    *show = HeadlessShow{};
    show->sink = sink;
    show->sink_data = sink_data;
    show->period = SHOW_FRAME_PERIOD;
    // The program never seeds rand(); seeding with 1 restarts that same sequence.
    std::srand(1);
    frame_count = 0xFFFFFFFF;
    tick_count.store(0, std::memory_order_relaxed);
    row_count.store(0, std::memory_order_relaxed);
    for (Burst& b : bursts) b.active = 0;

    if (load_show_resources() < 0) return -1;

    uint32_t size = 0;
    show->player = load_music(module_path != nullptr ? module_path : kModulePath, SHOW_SAMPLE_RATE,
                              &show->module, &size);

    if (build_main_scene() < 0) return -1;
    frame_attach_storage();
    clear_frame(COLOUR_BLACK);
    matrix_reset();
    return create_word_groups();
}

int headless_set_frame_period(HeadlessShow* show, FramePeriod period) {
    if (period.ms_numerator == 0 || period.ms_denominator == 0 ||
        period.ms_numerator > kMaxPeriodTerm || period.ms_denominator > kMaxPeriodTerm)
        return -1;
    show->period = period;
    return 0;
}

uint64_t headless_music_sample(const HeadlessShow& show, uint64_t music_frame) {
    // k x N / D taken as whole periods of D frames plus the rest, so that no product wraps
    // however long the show runs (N / D is samples per frame; both terms are at most 65535).
    const uint64_t n = uint64_t{show.period.ms_numerator} * SHOW_SAMPLE_RATE;
    const uint64_t d = uint64_t{show.period.ms_denominator} * 1000;
    return music_frame / d * n + music_frame % d * n / d;
}

void headless_next_frame(HeadlessShow* show) {
    if (show->frame < INTRO_FRAMES) {
        draw_intro_frame(&show->intro);
        ++frame_count;
    } else {
        // The music starts with the first frame after the intro.
        const uint64_t music_frame = show->frame - INTRO_FRAMES;
        render_music_to(show, headless_music_sample(*show, music_frame));
        show->drawn_tick = tick_count.load(std::memory_order_relaxed);
        draw_main_frame(&show->main);
        render_music_to(show, headless_music_sample(*show, music_frame + 1));
        finish_main_frame(&show->main);
    }
    ++show->frame;
}
