#include "platform/audio.h"

#include <SDL.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/clock.h"

uint8_t* music_data = nullptr;
uint32_t music_size = 0;
ModPlayer* music_player = nullptr;

namespace {

constexpr const char* MUSIC_FILE = "res/brumo.mod";
constexpr int AUDIO_RATE = 44100;
constexpr int AUDIO_FRAMES = 1024;
constexpr int FRAME_BYTES = 4;  // two 16-bit channels

// Reads the whole module into music_data and music_size. Returns 0, or -1 after printing
// one line naming the file; nothing stays allocated then.
int read_music() {
    const int fd = open(MUSIC_FILE, O_RDONLY);
    if (fd < 0) {
        std::printf("Unable to open %s: %s; playing without music\n", MUSIC_FILE,
                    std::strerror(errno));
        return -1;
    }
    const off_t end = lseek(fd, 0, SEEK_END);
    const uint32_t size = static_cast<uint32_t>(end);
    uint8_t* data = (end > 0 && lseek(fd, 0, SEEK_SET) == 0)
                        ? static_cast<uint8_t*>(std::malloc(size))
                        : nullptr;
    ssize_t got = -1;
    if (data != nullptr) got = read(fd, data, size);
    close(fd);
    if (got < 0 || static_cast<uint32_t>(got) != size) {
        std::printf("Unable to read %s: %s; playing without music\n", MUSIC_FILE,
                    got < 0 && end > 0 ? std::strerror(errno) : "short or empty file");
        std::free(data);
        return -1;
    }
    music_data = data;
    music_size = size;
    return 0;
}

}  // namespace

void start_music() {
    if (read_music() == 0) {
        music_player = player_create(AUDIO_RATE, music_data, music_size);
        if (music_player == nullptr) {
            std::printf(
                "Unable to play %s: not a 4-channel 31-sample module; playing without music\n",
                MUSIC_FILE);
        } else {
            player_set_looping(music_player, 1);
            player_set_row_callback(music_player, count_row, nullptr);
            player_set_tick_callback(music_player, count_tick, nullptr);
        }
    }
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
    SDL_AudioSpec spec{};
    spec.freq = AUDIO_RATE;
    spec.format = AUDIO_S16LSB;
    spec.channels = 2;
    spec.samples = AUDIO_FRAMES;
    spec.callback = callback;
    spec.userdata = nullptr;
    if (SDL_OpenAudio(&spec, nullptr) < 0) {
        std::printf("No audio device could be opened (%s); playing silently\n", SDL_GetError());
        return -1;
    }
    return 0;
}
