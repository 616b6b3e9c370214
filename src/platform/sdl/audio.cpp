#include "platform/sdl/audio.h"

#include <SDL.h>
#include <cstdio>
#include <cstring>

#include "core/music_source.h"

uint8_t* music_data = nullptr;
uint32_t music_size = 0;
ModPlayer* music_player = nullptr;

namespace {

constexpr int AUDIO_FRAMES = 1024;
constexpr int FRAME_BYTES = 4;  // two 16-bit channels

// The device at 44100 Hz, signed 16-bit little-endian stereo, 1024 frames a buffer, paused.
// No structure receives the format obtained: SDL converts to the device's own if it differs.
bool open_device(AudioCallback callback) {
    SDL_AudioSpec wanted{};
    wanted.freq = MUSIC_RATE;
    wanted.format = AUDIO_S16LSB;
    wanted.channels = 2;
    wanted.samples = AUDIO_FRAMES;
    wanted.callback = callback;
    return SDL_OpenAudio(&wanted, nullptr) == 0;
}

}  // namespace

void start_music() {
    music_player = load_music(MUSIC_PATH, MUSIC_RATE, &music_data, &music_size);
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
    if (open_device(callback)) return 0;
    std::printf("No audio device could be opened (%s); playing silently\n", SDL_GetError());
    return -1;
}

bool audio_device_open(AudioCallback callback, std::string* reason) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0 && open_device(callback)) return true;
    *reason = SDL_GetError();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
}

void audio_device_close() {
    SDL_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void audio_wait_ms(uint32_t ms) {
    SDL_Delay(ms);
}
