// modplay: plays a 4-channel tracker module through the audio device, or renders it to a WAV
// file (44100 Hz, 16-bit stereo), with the library the demo plays its music with.
#include <SDL.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "music/player.h"
#include "platform/audio.h"

namespace {

constexpr uint32_t RATE = 44100;
constexpr uint32_t DEFAULT_LIMIT_SECONDS = 3600;  // a song may jump to itself for ever
constexpr uint32_t MAX_SECONDS = 24 * 3600;

struct Options {
    const char* input = nullptr;
    const char* output = nullptr;
    uint32_t seconds = 0;  // 0: until the song ends
    bool loop = false;
};

void usage(FILE* to) {
    std::fprintf(to,
                 "usage: modplay FILE.mod [-o OUT.wav] [--seconds N] [--loop]\n"
                 "Plays a 4-channel, 31-sample tracker module (signature M.K., M!K! or 4CHN).\n"
                 "  -o OUT.wav     render to a WAV file (44100 Hz, 16-bit stereo) instead of\n"
                 "                 playing through the audio device\n"
                 "  --seconds N    stop after N seconds (at most %u)\n"
                 "  --loop         start the song again at its end (needs --seconds with -o)\n"
                 "  --help         show this text\n"
                 "Without --seconds it stops when the song ends, or after %u seconds.\n"
                 "Exit status: 0 done, 1 file unreadable or refused, 2 bad arguments.\n",
                 MAX_SECONDS, DEFAULT_LIMIT_SECONDS);
}

bool parse_seconds(const char* text, uint32_t* seconds) {
    char* end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || text[0] == '-' || value == 0 ||
        value > MAX_SECONDS) {
        return false;
    }
    *seconds = static_cast<uint32_t>(value);
    return true;
}

// 0 to go on, 1 for --help (exit 0), -1 for bad arguments.
int parse(int argc, char** argv, Options* opt) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") return 1;
        if (arg == "--loop") {
            opt->loop = true;
        } else if (arg == "-o" || arg == "--seconds") {
            if (i + 1 >= argc) return -1;
            const char* value = argv[++i];
            if (arg == "-o") {
                opt->output = value;
            } else if (!parse_seconds(value, &opt->seconds)) {
                return -1;
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            return -1;
        } else if (opt->input == nullptr) {
            opt->input = argv[i];
        } else {
            return -1;
        }
    }
    if (opt->input == nullptr || (opt->output && opt->loop && opt->seconds == 0)) return -1;
    return 0;
}

// Where the song is, written by the player's row callback on the rendering thread and read by
// the progress line.
struct Progress {
    std::atomic<uint32_t> order{0};
    std::atomic<uint32_t> row{0};
    std::atomic<uint32_t> frames{0};
    std::atomic<bool> ended{false};
    ModPlayer* player = nullptr;
    uint32_t limit = 0;  // frames
};

void on_row(void* data) {
    auto* p = static_cast<Progress*>(data);
    p->order.store(p->player->order_pos, std::memory_order_relaxed);
    p->row.store(p->player->row, std::memory_order_relaxed);
}

void print_progress(const Progress& p, const ModPlayer* player) {
    const uint32_t tenths = static_cast<uint32_t>(uint64_t{p.frames.load()} * 10 / RATE);
    std::printf("\rorder %3u/%u  row %2u  time %2u:%02u.%u", p.order.load(), player->song_length,
                p.row.load(), tenths / 600, tenths / 10 % 60, tenths % 10);
    std::fflush(stdout);
}

void print_module(const char* file, const ModPlayer* player) {
    std::printf("%s\nTitle: \"%s\"\n", file, player->title);
    for (int i = 0; i < MOD_SAMPLES; ++i) {
        const SampleInfo& s = player->samples[i];
        if (s.length == 0 && std::strspn(s.name, " ") == 22) continue;
        std::printf("  %2d  %s  %6u bytes%s\n", i + 1, s.name, s.length,
                    s.loop_length > 2 ? "  loop" : "");
    }
    std::printf("Song length: %u orders, %u patterns\n", player->song_length,
                player->pattern_count);
}

void put32(uint8_t* p, uint32_t v) {
    for (int k = 0; k < 4; ++k) p[k] = static_cast<uint8_t>(v >> (8 * k));
}

// A canonical 44-byte WAV header for 16-bit stereo PCM at 44100 Hz.
std::array<uint8_t, 44> wav_header(uint32_t data_bytes) {
    std::array<uint8_t, 44> h{};
    std::memcpy(h.data(), "RIFF", 4);
    put32(h.data() + 4, 36 + data_bytes);
    std::memcpy(h.data() + 8, "WAVEfmt ", 8);
    put32(h.data() + 16, 16);
    h[20] = 1;  // PCM
    h[22] = 2;  // channels
    put32(h.data() + 24, RATE);
    put32(h.data() + 28, RATE * 4);
    h[32] = 4;   // bytes per frame
    h[34] = 16;  // bits per sample
    std::memcpy(h.data() + 36, "data", 4);
    put32(h.data() + 40, data_bytes);
    return h;
}

int render_wav(ModPlayer* player, Progress& progress, const char* path) {
    FILE* out = std::fopen(path, "wb");
    if (out == nullptr) {
        std::printf("modplay: cannot write %s: %s\n", path, std::strerror(errno));
        return 1;
    }
    auto header = wav_header(0);
    std::fwrite(header.data(), 1, header.size(), out);
    std::vector<int16_t> buffer(2 * RENDER_CHUNK);
    uint8_t bytes[4 * RENDER_CHUNK];
    uint32_t frames = 0;
    while (frames < progress.limit && !player_has_ended(player)) {
        const uint32_t n = std::min<uint32_t>(RENDER_CHUNK, progress.limit - frames);
        player_render_s16(player, buffer.data(), static_cast<int32_t>(n));
        for (uint32_t i = 0; i < 2 * n; ++i) {  // WAV data is little-endian whatever the host
            bytes[2 * i] = static_cast<uint8_t>(buffer[i]);
            bytes[2 * i + 1] = static_cast<uint8_t>(static_cast<uint16_t>(buffer[i]) >> 8);
        }
        std::fwrite(bytes, 4, n, out);
        if ((frames + n) / RATE != frames / RATE) print_progress(progress, player);
        frames += n;
        progress.frames.store(frames);
    }
    print_progress(progress, player);
    std::printf("\n");
    header = wav_header(frames * 4);
    std::fseek(out, 0, SEEK_SET);
    std::fwrite(header.data(), 1, header.size(), out);
    const bool failed = std::ferror(out) != 0;
    if (std::fclose(out) != 0 || failed) {
        std::printf("modplay: writing %s failed\n", path);
        return 1;
    }
    std::printf("Wrote %s: %u frames\n", path, frames);
    return 0;
}

Progress* device_progress = nullptr;

void device_callback(void*, uint8_t* stream, int len) {
    Progress& p = *device_progress;
    const int frames = len / 4;
    player_render_s16(p.player, reinterpret_cast<int16_t*>(stream), frames);
    p.frames.fetch_add(static_cast<uint32_t>(frames), std::memory_order_relaxed);
    if (player_has_ended(p.player)) p.ended.store(true);
}

int play_device(ModPlayer* player, Progress& progress) {
    if (SDL_Init(SDL_INIT_AUDIO) < 0) {
        std::printf("modplay: no audio: %s\n", SDL_GetError());
        return 1;
    }
    std::atexit(SDL_Quit);
    device_progress = &progress;
    if (open_audio(device_callback) != 0) return 1;
    SDL_PauseAudio(0);
    while (!progress.ended.load() && progress.frames.load() < progress.limit) {
        SDL_Delay(100);
        print_progress(progress, player);
    }
    SDL_CloseAudio();
    std::printf("\n");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options opt;
    const int parsed = parse(argc, argv, &opt);
    if (parsed == 1) {
        usage(stdout);
        return 0;
    }
    if (parsed < 0) {
        usage(stderr);
        return 2;
    }
    std::ifstream in(opt.input, std::ios::binary);
    if (!in) {
        std::printf("modplay: cannot open %s: %s\n", opt.input, std::strerror(errno));
        return 1;
    }
    const std::vector<uint8_t> image{std::istreambuf_iterator<char>(in), {}};
    std::unique_ptr<ModPlayer, void (*)(ModPlayer*)> player(
        player_create(RATE, image.data(), static_cast<uint32_t>(image.size())), player_free);
    if (!player) {
        std::printf(
            "modplay: %s is not a playable module (no M.K., M!K! or 4CHN signature, or cut "
            "short)\n",
            opt.input);
        return 1;
    }
    print_module(opt.input, player.get());

    Progress progress;
    progress.player = player.get();
    progress.limit = (opt.seconds ? opt.seconds : DEFAULT_LIMIT_SECONDS) * RATE;
    player_set_looping(player.get(), opt.loop ? 1 : 0);
    player_set_row_callback(player.get(), on_row, &progress);
    return opt.output ? render_wav(player.get(), progress, opt.output)
                      : play_device(player.get(), progress);
}
