// modplay: plays a 4-channel tracker module through the audio device, or renders it to a WAV
// file (44100 Hz, 16-bit stereo), with the library the demo plays its music with.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cli.h"
#include "core/music_source.h"
#include "music/player.h"
#include "platform/sdl/audio.h"
#include "util/file.h"
#include "wav_file.h"

namespace {

constexpr const char* PROGRAM = "modplay";
constexpr uint32_t RATE = MUSIC_RATE;  // the device's rate, and the WAV's
// A WAV file holds at most 4 GiB of data: about 6.7 hours of 16-bit stereo at 44100 Hz.
constexpr double MAX_SECONDS = 6 * 3600;
// A song that has not ended by then (pattern loops that restart each other) stops there.
constexpr uint64_t SONG_LIMIT_FRAMES = uint64_t{RATE} * 3600;
constexpr uint32_t WAV_CHUNK_FRAMES = 1024;  // rendered and written at a time

constexpr const char* USAGE =
    "usage: modplay FILE.mod [-o OUT.wav] [--seconds N] [--loop] [--no-ramp]\n"
    "Plays a 4-channel, 31-sample tracker module (signature M.K., M!K! or 4CHN) through the\n"
    "audio device, or renders it to a WAV file. FILE - reads the module from standard input.\n"
    "  -o OUT.wav     render to a WAV file (44100 Hz, 16-bit stereo) instead of playing\n"
    "  --seconds N    stop after N seconds (decimals allowed, at most 21600)\n"
    "  --loop         start the song again at its end (needs --seconds with -o)\n"
    "  --no-ramp      the exact unramped output: cut-off notes stop dead, volumes jump\n"
    "  -h, --help     show this text\n"
    "Without --seconds it stops when the song ends: after its last row, at the first jump back\n"
    "to a row already played, or at F00.\n"
    "Exit status: 0 done, 1 file unreadable, refused or not written, 2 bad arguments.\n";

struct Options {
    const char* input = nullptr;
    const char* output = nullptr;
    uint64_t frames = 0;  // 0: until the song ends
    bool loop = false;
    bool ramp = true;  // volume ramps and note fades, so that nothing clicks
};

Options parse(int argc, char** argv) {
    Options opt;
    CommandLine line = cli_start(PROGRAM, USAGE, argc, argv);
    while (cli_more(line)) {
        const char* arg = cli_next(&line);
        if (std::strcmp(arg, "--loop") == 0) {
            opt.loop = true;
        } else if (std::strcmp(arg, "--no-ramp") == 0) {
            opt.ramp = false;
        } else if (std::strcmp(arg, "-o") == 0) {
            opt.output = cli_value(&line, arg);
        } else if (std::strcmp(arg, "--seconds") == 0) {
            const char* text = line.argv[line.next];  // for the message below
            const double seconds = cli_seconds(&line, arg, MAX_SECONDS);
            opt.frames = static_cast<uint64_t>(std::llround(seconds * RATE));
            if (opt.frames == 0) {
                cli_usage_error(line, "%s: needs at least one frame (1/44100 s), got %s", arg,
                                text);
            }
        } else if ((arg[0] != '-' || std::strcmp(arg, "-") == 0) && opt.input == nullptr) {
            opt.input = arg;
        } else {
            cli_unexpected(line, arg);
        }
    }
    if (opt.input == nullptr) cli_usage_error(line, "no module given");
    if (opt.output != nullptr && opt.loop && opt.frames == 0) {
        cli_usage_error(line, "--loop: needs --seconds with -o (a looping song never ends)");
    }
    return opt;
}

// The module's bytes, from the file or standard input; refusals end the program with status 1.
std::vector<uint8_t> read_input(const char* path, const char* name) {
    uint8_t* data = nullptr;
    size_t size = 0;
    char reason[160];
    const bool read =
        std::strcmp(path, "-") == 0
            ? read_whole_stream(0, MOD_MAX_FILE_BYTES, &data, &size, reason, sizeof reason)
            : read_whole_file(path, MOD_MAX_FILE_BYTES, &data, &size, reason, sizeof reason);
    if (!read) cli_fail(PROGRAM, "%s: %s", name, reason);
    std::vector<uint8_t> image(data, data + size);
    std::free(data);
    return image;
}

// Minutes, seconds and tenths.
std::string clock_text(uint64_t frames) {
    const uint64_t tenths = frames * 10 / RATE;
    char text[32];
    std::snprintf(text, sizeof text, "%llu:%02llu.%llu",
                  static_cast<unsigned long long>(tenths / 600),
                  static_cast<unsigned long long>(tenths / 10 % 60),
                  static_cast<unsigned long long>(tenths % 10));
    return text;
}

// Names are bytes from the file: anything but printable ASCII shows as '?', so that no control
// character reaches the terminal.
std::string printable(const char* text, size_t length) {
    std::string shown;
    for (size_t k = 0; k < length && text[k] != '\0'; ++k) {
        const auto c = static_cast<unsigned char>(text[k]);
        shown += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
    }
    return shown;
}

void print_module(const char* name, const ModPlayer* player, uint64_t song_frames, bool ends) {
    std::printf("%s\nTitle: \"%s\"\n", name, printable(player_title(player), 20).c_str());
    for (int i = 0; i < MOD_SAMPLES; ++i) {
        const SampleInfo& s = *player_sample(player, i + 1);
        const std::string sample_name = printable(s.name, 22);
        if (s.length == 0 && sample_name.find_first_not_of(' ') == std::string::npos) continue;
        std::printf("  %2d  %-22s  %6u bytes%s\n", i + 1, sample_name.c_str(), s.length,
                    s.loop_length > 2 ? "  loop" : "");
    }
    std::printf("Song: %u orders, %u patterns, %s%s\n", player_song_length(player),
                player_pattern_count(player), clock_text(song_frames).c_str(),
                ends ? "" : " without reaching its end");
}

// Time played against the song's length, rewritten in place.
void print_progress(uint64_t frames, uint64_t song_frames, bool loop) {
    std::printf("\r%s / %s%s ", clock_text(frames).c_str(), clock_text(song_frames).c_str(),
                loop ? " (looping)" : "");
    std::fflush(stdout);
}

// Writes exactly `frames` frames (the song ends at or after them). False, with the message in
// `error`, when the file cannot be written; a file of our own is then removed.
bool write_wav(ModPlayer* player, const char* path, uint64_t frames, uint64_t song_frames,
               bool loop, std::string* error) {
    WavFile wav;
    if (!wav.open(path, RATE, frames, error)) return false;
    const bool progress = isatty(fileno(stdout));
    std::vector<int16_t> buffer(2 * WAV_CHUNK_FRAMES);
    for (uint64_t done = 0; done < frames;) {
        const auto n = static_cast<int32_t>(std::min<uint64_t>(WAV_CHUNK_FRAMES, frames - done));
        player_render_s16(player, buffer.data(), n);
        if (!wav.append(buffer.data(), n, error)) return false;
        if (progress && (done + n) / RATE != done / RATE)
            print_progress(done + n, song_frames, loop);
        done += static_cast<uint64_t>(n);
    }
    if (!wav.finish(error)) return false;
    if (progress) std::printf("\n");
    return true;
}

int render_wav(ModPlayer* player, const char* path, uint64_t frames, uint64_t song_frames,
               bool loop) {
    std::string error;
    if (!write_wav(player, path, frames, song_frames, loop, &error))
        cli_fail(PROGRAM, "%s", error.c_str());
    std::printf("Wrote %s: %s, %llu frames\n", path, clock_text(frames).c_str(),
                static_cast<unsigned long long>(frames));
    return 0;
}

// Shared with the device's callback thread.
struct Device {
    ModPlayer* player = nullptr;
    uint64_t limit = 0;
    std::atomic<uint64_t> frames{0};
    std::atomic<bool> done{false};
};
Device device;

void device_callback(void*, uint8_t* stream, int len) {
    auto* out = reinterpret_cast<int16_t*>(stream);
    const uint64_t played = device.frames.load(std::memory_order_relaxed);
    const auto wanted = static_cast<uint64_t>(len / 4);
    const uint64_t n = std::min(wanted, device.limit - std::min(device.limit, played));
    player_render_s16(device.player, out, static_cast<int32_t>(n));
    std::memset(out + 2 * n, 0, static_cast<size_t>(len) - 4 * n);
    device.frames.store(played + n, std::memory_order_relaxed);
    if (n < wanted || player_has_ended(device.player)) device.done.store(true);
}

int play_device(ModPlayer* player, uint64_t frames, uint64_t song_frames, bool loop) {
    device.player = player;
    device.limit = frames;
    std::string why;
    if (!audio_device_open(device_callback, &why))
        cli_fail(PROGRAM, "no audio device could be opened: %s", why.c_str());
    start_audio();
    while (!device.done.load()) {
        audio_wait_ms(100);
        print_progress(device.frames.load(), song_frames, loop);
    }
    audio_device_close();
    print_progress(device.frames.load(), song_frames, loop);
    std::printf("\n");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const Options opt = parse(argc, argv);
    const bool from_stdin = std::strcmp(opt.input, "-") == 0;
    const char* name = from_stdin ? "standard input" : opt.input;
    const std::vector<uint8_t> image = read_input(opt.input, name);
    const auto size = static_cast<uint32_t>(image.size());
    char reason[96];
    if (player_refusal(image.data(), size, reason, sizeof reason)) {
        cli_fail(PROGRAM, "%s: %s", name, reason);
    }
    std::unique_ptr<ModPlayer, void (*)(ModPlayer*)> player(player_create(RATE, image.data(), size),
                                                            player_free);
    if (!player) cli_fail(PROGRAM, "%s: out of memory", name);

    uint32_t present = 0;
    uint32_t wanted = 0;
    if (player_sample_data_short(player.get(), &present, &wanted)) {
        std::fprintf(stderr, "%s: sample data cut short (%u of %u bytes); playing what is there\n",
                     name, present, wanted);
    }
    // The song is measured at least as far as asked for, so that a long song is not cut short
    // at the limit.
    const uint64_t measured = std::max(SONG_LIMIT_FRAMES, opt.frames);
    const uint64_t song_frames = player_song_frames(RATE, image.data(), size, measured);
    const bool ends = song_frames < measured;
    // A song that never ends (pattern loops that keep restarting each other) would fill a WAV
    // for an hour: ask for a length instead. Played on the device it stops after the hour.
    if (!ends && opt.frames == 0 && !opt.loop) {
        if (opt.output != nullptr) {
            cli_fail(PROGRAM, "%s: the song does not end within %s; give --seconds", name,
                     clock_text(SONG_LIMIT_FRAMES).c_str());
        }
        std::fprintf(stderr, "%s: %s: the song does not end within %s; stopping there\n", PROGRAM,
                     name, clock_text(SONG_LIMIT_FRAMES).c_str());
    }
    print_module(name, player.get(), song_frames, ends);

    player_set_looping(player.get(), opt.loop ? 1 : 0);
    player_set_ramping(player.get(), opt.ramp ? 1 : 0);
    // Without looping the song ends at its measured length; --seconds may stop it earlier.
    uint64_t frames = opt.frames;
    if (!opt.loop) frames = frames == 0 ? song_frames : std::min(frames, song_frames);
    if (opt.loop && frames == 0) frames = UINT64_MAX;  // playing until interrupted
    return opt.output ? render_wav(player.get(), opt.output, frames, song_frames, opt.loop)
                      : play_device(player.get(), frames, song_frames, opt.loop);
}
