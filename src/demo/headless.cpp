#include "demo/headless.h"

#include <cstdlib>

#include "core/framebuffer.h"
#include "core/music_source.h"
#include "music/player.h"

namespace {

constexpr int32_t kChunkFrames = 1024;
constexpr uint32_t kMaxPeriodTerm = 65535;

// The music of the show playing: one show plays at a time, as its scene is global.
ModPlayer* music = nullptr;
uint8_t* music_image = nullptr;

// Renders the music up to stereo frame `target` after it started, as the device would have.
void render_music_to(HeadlessShow* show, uint64_t target) {
    int16_t chunk[2 * kChunkFrames];
    while (show->audio_frames < target) {
        const uint64_t left = target - show->audio_frames;
        const auto n = static_cast<int32_t>(left < kChunkFrames ? left : kChunkFrames);
        if (show->player != nullptr) {
            player_render_s16(show->player, chunk, n);
            if (show->sink != nullptr) show->sink(chunk, n, show->sink_data);
        }
        show->audio_frames += static_cast<uint64_t>(n);
    }
}

// The music starts with the first frame after the intro: music frame k is show frame
// INTRO_FRAMES + k.
uint64_t music_frame_of(const HeadlessShow& show) {
    return show.frame - INTRO_FRAMES;
}

void release_music() {
    player_free(music);
    std::free(music_image);
    music = nullptr;
    music_image = nullptr;
}

void start_music(void* data) {
    auto* show = static_cast<HeadlessShow*>(data);
    uint32_t size = 0;
    music = load_music(show->module_path, MUSIC_RATE, &music_image, &size);
    show->player = music;
}

void open_display(void*) {
    frame_attach_storage();
}

void start_audio(void*) {}

// The frame is drawn at its own time: the music rendered up to it.
void begin_frame(void* data) {
    auto* show = static_cast<HeadlessShow*>(data);
    render_music_to(show, headless_music_sample(*show, music_frame_of(*show)));
    show->drawn_tick = tick_count.load(std::memory_order_relaxed);
}

// Presenting takes a frame period, in which the music plays on to the next frame's time.
void present(void* data) {
    auto* show = static_cast<HeadlessShow*>(data);
    if (show->frame < INTRO_FRAMES) return;
    render_music_to(show, headless_music_sample(*show, music_frame_of(*show) + 1));
}

}  // namespace

int headless_start(HeadlessShow* show, const char* module_path, AudioSink sink, void* sink_data) {
    release_music();
    *show = HeadlessShow{};
    show->module_path = module_path != nullptr ? module_path : MUSIC_PATH;
    show->sink = sink;
    show->sink_data = sink_data;
    show->period = SHOW_FRAME_PERIOD;
    show->target = {start_music, open_display, start_audio, begin_frame, present, show};
    return show_start(&show->run, &show->target);
}

void headless_stop() {
    show_release();
    release_music();
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
    const uint64_t n = uint64_t{show.period.ms_numerator} * MUSIC_RATE;
    const uint64_t d = uint64_t{show.period.ms_denominator} * 1000;
    return music_frame / d * n + music_frame % d * n / d;
}

void headless_next_frame(HeadlessShow* show) {
    show_frame(&show->run);
    ++show->frame;
}

bool headless_play_to_tick(HeadlessShow* show, uint32_t tick) {
    if (show->player == nullptr) return false;
    while (tick_count.load(std::memory_order_relaxed) < tick) headless_next_frame(show);
    return true;
}
