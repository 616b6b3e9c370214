#include "demo/runner.h"

#include "core/clock.h"
#include "core/framebuffer.h"
#include "core/random.h"
#include "demo/assets.h"
#include "effects/burst.h"
#include "loaders/pcx.h"
#include "math/matrix.h"

namespace {

constexpr const char* kTunnelPath = "res/tunnel.pcx";

// The clocks, the random sequence and the figures as the program starts them, so that a
// show started again plays the same.
void reset_show_state() {
    frame_count = 0xFFFFFFFF;
    tick_count.store(0, std::memory_order_relaxed);
    row_count.store(0, std::memory_order_relaxed);
    show_random_seed(1);
    for (Burst& b : bursts) b.active = 0;
}

}  // namespace

int show_start(ShowRun* run, const ShowTarget* target) {
    show_release();
    *run = ShowRun{};
    run->target = target;
    reset_show_state();
    if (create_demo_font() < 0) return -1;
    if (load_tunnel_texture() < 0) return report_load_failure(kTunnelPath);
    if (load_pumpkin() < 0 || load_intro_resources() < 0) return -1;
    target->start_music(target->data);
    if (build_main_scene() < 0) return report_out_of_memory();
    target->open_display(target->data);
    clear_frame(COLOUR_BLACK);
    matrix_reset();
    return create_word_groups() < 0 ? report_out_of_memory() : 0;
}

void show_frame(ShowRun* run) {
    const ShowTarget& target = *run->target;
    if (intro_running()) {
        draw_intro_frame(&run->intro);
        target.present(target.data);
        ++frame_count;
        return;
    }
    if (!run->music_started) {
        target.start_audio(target.data);
        run->music_started = true;
    }
    if (target.begin_frame != nullptr) target.begin_frame(target.data);
    draw_main_frame(&run->main);
    target.present(target.data);
    finish_main_frame(&run->main);
}

void show_release() {
    release_main_scene();
    release_intro();
    free_texture(tunnel_texture);
    tunnel_texture = nullptr;
    free_font(demo_font);
    demo_font = nullptr;
}
