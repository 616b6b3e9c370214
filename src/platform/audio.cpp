#include "platform/audio.h"

#include <SDL.h>
#include <cstdio>
#include <cstring>

#include "platform/music_source.h"

uint8_t* music_data = nullptr;
uint32_t music_size = 0;
ModPlayer* music_player = nullptr;

namespace {

constexpr const char* MUSIC_FILE = "res/brumo.mod";
constexpr int AUDIO_RATE = 44100;
constexpr int AUDIO_FRAMES = 1024;
constexpr int FRAME_BYTES = 4;  // two 16-bit channels

}  // namespace

void start_music() {
    music_player = load_music(MUSIC_FILE, AUDIO_RATE, &music_data, &music_size);
    open_audio(audio_callback);
}

void start_audio() {
    SDL_PauseAudio(0);
}

void audio_callback(void*, uint8_t* stream, int len) {
    const int frames = len / FRAME_BYTES;
    if (frames <= 0) return;
    if (music_player == nullptr) {
        std::memset(stream, 0, static_cast<size_t>(frames) * FRAME_BYTES);
        return;
    }
    // SDL hands over a byte buffer allocated for 16-bit samples, so it is suitably aligned.
    // player_render_s16 renders in bounded passes, so the stack use does not grow with len.
    player_render_s16(music_player, reinterpret_cast<int16_t*>(stream), frames);
}

int open_audio(AudioCallback callback) {
    SDL_AudioSpec wanted{};
    wanted.freq = AUDIO_RATE;
    wanted.format = AUDIO_S16LSB;
    wanted.channels = 2;
    wanted.samples = AUDIO_FRAMES;
    wanted.callback = callback;
    wanted.userdata = nullptr;
    if (SDL_OpenAudio(&wanted, nullptr) < 0) {
        std::printf("No audio device could be opened (%s); playing silently\n", SDL_GetError());
        return -1;
    }
    return 0;
}
