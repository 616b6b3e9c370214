// The show without a window or sound device, for the capture tool, the tests and the page's
// still frames: the program's own start-up and frames (demo/runner.h), with the music rendered
// by the player into memory. Frame k of the show is drawn at k frame periods (17 ms unless
// chosen otherwise), with tick_count taken from the music rendered up to that time.
#pragma once

#include <cstdint>

#include "core/clock.h"
#include "demo/runner.h"

struct ModPlayer;

// Receives each piece of rendered music: `frames` interleaved stereo frames.
using AudioSink = void (*)(const int16_t* samples, int32_t frames, void* data);

// A frame period of numerator / denominator milliseconds: 17 / 1 is the show's own pace,
// 1000 / 60 sixty frames a second.
struct FramePeriod {
    uint32_t ms_numerator;
    uint32_t ms_denominator;
};

inline constexpr FramePeriod SHOW_FRAME_PERIOD{FRAME_PERIOD_MS, 1};

struct HeadlessShow {
    ModPlayer* player;      // null when the module could not be had: the show holds phase 1
    uint64_t frame;         // frames drawn so far, the intro's included
    uint64_t audio_frames;  // stereo frames rendered since the music started
    uint32_t drawn_tick;    // tick_count while the last frame was drawn (0 in the intro)
    FramePeriod period;     // SHOW_FRAME_PERIOD unless headless_set_frame_period chose another
    const char* module_path;
    AudioSink sink;  // may be null
    void* sink_data;
    ShowTarget target;
    ShowRun run;
};

// Starts the show as the program does, with `module_path` (null: the show's own module) as its
// music; a show started before, and its music, are released first, as only one plays at a
// time. 0, or -1 after a message when a resource cannot be loaded (a missing or refused module
// only costs the music).
int headless_start(HeadlessShow* show, const char* module_path, AudioSink sink, void* sink_data);

// Releases the show and its music.
void headless_stop();

// Chooses the frame period; call it before the first frame. 0, or -1 (the period unchanged)
// when a term is 0 or above 65535.
int headless_set_frame_period(HeadlessShow* show, FramePeriod period);

// The stereo frame of music, counted from the music's start, at which music frame k (frame
// k after the intro) begins: k periods, rounded down to whole samples at MUSIC_RATE.
uint64_t headless_music_sample(const HeadlessShow& show, uint64_t music_frame);

// Draws the next frame into the framebuffer, rendering the music up to its time, and
// advances the show past it. The frame stays in the framebuffer until the next call.
void headless_next_frame(HeadlessShow* show);

// Plays frames until the music's clock reaches `tick`. False at once, having played nothing,
// when the show has no music: its clock never moves.
bool headless_play_to_tick(HeadlessShow* show, uint32_t tick);

// The time of frame k of the show, in milliseconds from the intro's first frame.
inline uint64_t show_frame_time_ms(uint64_t frame) {
    return frame * FRAME_PERIOD_MS;
}
