// The show's player as a WebAssembly module of its own, for the page's AudioWorklet
// (web/music-worklet.js): no Emscripten runtime, only these entry points over src/music. The
// worklet copies the module image in, then has the music rendered a piece at a time into float
// planes that it hands to the browser block by block; the same frames as 16-bit stereo stay
// readable, so a test can compare them with the native player's.
//
// The pieces are the native device's buffers, 1024 frames: the player's output depends on
// where the stream is cut (a voice takes a new frequency, such as a sample running out, at its
// next mixing call), so only the same cuts give the native stream bit for bit.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/music_source.h"
#include "music/player.h"

namespace {

constexpr int32_t kPiece = 1024;
// A tick is at least 2.5 x 44100 / 255 = 432 frames long, so a piece holds at most 3 of their
// boundaries; room is left for any length all the same.
constexpr int32_t kMaxBoundaries = kPiece;

ModPlayer* player = nullptr;
uint8_t* image = nullptr;
uint32_t image_size = 0;
uint32_t ticks = 0;
int16_t stereo[2 * kPiece];
float left[kPiece];
float right[kPiece];
int32_t boundaries[kMaxBoundaries];

void count_tick(void*) {
    ++ticks;
}

}  // namespace

extern "C" {

// Room for a module image of `size` bytes, for music_open; null when there is none. The player
// of an earlier image goes with it.
__attribute__((export_name("music_image"))) uint8_t* music_image(uint32_t size) {
    player_free(player);
    player = nullptr;
    std::free(image);
    image = static_cast<uint8_t*>(std::malloc(size > 0 ? size : 1));
    image_size = image != nullptr ? size : 0;
    return image;
}

// Creates the looping player at 44100 Hz over the image written into music_image's room:
// 0, or -1 when the image is refused or memory runs out (the worklet then stays silent).
__attribute__((export_name("music_open"))) int32_t music_open() {
    player_free(player);
    player = image != nullptr ? player_create(MUSIC_RATE, image, image_size) : nullptr;
    if (player == nullptr) return -1;
    player_set_looping(player, 1);
    player_set_tick_callback(player, count_tick, nullptr);
    ticks = 0;
    return 0;
}

// Renders the next 1024 frames: music_stereo holds them as interleaved 16-bit stereo,
// music_left and music_right as floats (the same values over 32768). Returns how many ticks
// ended in them; music_boundaries lists, for each, the frames of the piece before it ended, so
// its boundary in the stream is the piece's first frame plus that. The piece is rendered in
// runs that end at tick boundaries, as the player mixes anyway, so each is known to the
// frame. -1 when there is no player.
__attribute__((export_name("music_render"))) int32_t music_render() {
    if (player == nullptr) return -1;
    constexpr int32_t n = kPiece;
    int32_t ended = 0;
    for (int32_t done = 0; done < n;) {
        const auto to_boundary = static_cast<int32_t>(player_frames_to_tick(player));
        const int32_t run = to_boundary < n - done ? to_boundary : n - done;
        const uint32_t before = ticks;
        player_render_s16(player, stereo + 2 * done, run);
        done += run;
        if (ticks != before && ended < kMaxBoundaries) boundaries[ended++] = done;
    }
    for (int32_t i = 0; i < n; ++i) {
        left[i] = static_cast<float>(stereo[2 * i]) * (1.0f / 32768);
        right[i] = static_cast<float>(stereo[2 * i + 1]) * (1.0f / 32768);
    }
    return ended;
}

__attribute__((export_name("music_piece_frames"))) int32_t music_piece_frames() {
    return kPiece;
}

// Frames from the end of the last piece to the coming tick boundary.
__attribute__((export_name("music_frames_to_boundary"))) int32_t music_frames_to_boundary() {
    return player == nullptr ? 0 : static_cast<int32_t>(player_frames_to_tick(player));
}

__attribute__((export_name("music_stereo"))) int16_t* music_stereo() {
    return stereo;
}
__attribute__((export_name("music_left"))) float* music_left() {
    return left;
}
__attribute__((export_name("music_right"))) float* music_right() {
    return right;
}
__attribute__((export_name("music_boundaries"))) int32_t* music_boundaries() {
    return boundaries;
}

}  // extern "C"
