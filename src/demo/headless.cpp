#include "demo/headless.h"

#include <cstdio>
#include <cstdlib>

#include "effects/burst.h"
#include "math/matrix.h"
#include "music/player.h"
#include "platform/clock.h"
#include "platform/framebuffer.h"

namespace {

constexpr const char* kModulePath = "res/brumo.mod";
constexpr int32_t kChunkFrames = 1024;

// Reads a whole file; null (after a message) when it cannot be had.
uint8_t* read_file(const char* path, uint32_t* size) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        std::printf("capture: cannot open %s: no music\n", path);
        return nullptr;
    }
    std::fseek(file, 0, SEEK_END);
    long length = std::ftell(file);
    std::fseek(file, 0, SEEK_SET);
    auto* data =
        length > 0 ? static_cast<uint8_t*>(std::malloc(static_cast<size_t>(length))) : nullptr;
    if (data == nullptr ||
        std::fread(data, 1, static_cast<size_t>(length), file) != static_cast<size_t>(length)) {
        std::printf("capture: cannot read %s: no music\n", path);
        std::free(data);
        data = nullptr;
    }
    std::fclose(file);
    *size = static_cast<uint32_t>(length);
    return data;
}

// Renders the music up to `ms` milliseconds after it started, as the device would have.
void render_music_to(HeadlessShow* show, uint64_t ms) {
    const uint64_t target = ms * SHOW_SAMPLE_RATE / 1000;
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
    // The program never seeds rand(); seeding with 1 restarts that same sequence.
    std::srand(1);
    frame_count = 0xFFFFFFFF;
    tick_count.store(0, std::memory_order_relaxed);
    row_count.store(0, std::memory_order_relaxed);
    for (Burst& b : bursts) b.active = 0;

    if (load_show_resources() < 0) return -1;

    uint32_t size = 0;
    show->module = read_file(module_path != nullptr ? module_path : kModulePath, &size);
    if (show->module != nullptr) {
        show->player = player_create(SHOW_SAMPLE_RATE, show->module, size);
        if (show->player == nullptr) {
            std::printf("capture: %s is not a module this player reads: no music\n",
                        module_path != nullptr ? module_path : kModulePath);
        } else {
            player_set_looping(show->player, 1);
            player_set_row_callback(show->player, count_row, nullptr);
            player_set_tick_callback(show->player, count_tick, nullptr);
        }
    }

    if (build_main_scene() < 0) return -1;
    frame_attach_storage();
    clear_frame(COLOUR_BLACK);
    matrix_reset();
    return create_word_groups();
}

void headless_next_frame(HeadlessShow* show) {
    if (show->frame < INTRO_FRAMES) {
        draw_intro_frame(&show->intro);
        ++frame_count;
    } else {
        // The music starts with the first frame after the intro.
        const uint64_t music_frame = show->frame - INTRO_FRAMES;
        render_music_to(show, show_frame_time_ms(music_frame));
        draw_main_frame(&show->main);
        render_music_to(show, show_frame_time_ms(music_frame + 1));
        finish_main_frame(&show->main);
    }
    ++show->frame;
}
