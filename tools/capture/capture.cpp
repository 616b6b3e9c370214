// capture: plays the show deterministically without a window or sound device, writing chosen
// frames as 800 x 480 PNG files, the music as a WAV file, or the whole show as a video.
//
// PNG frame k of the show is drawn at k x 17 ms from the first intro frame (the intro's 300
// frames come first; the music starts after them); video frame k at k x 1000 / 60 ms. Either
// way tick_count is taken from the music rendered up to that time. Run it from the directory
// that holds res/.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "cli.h"
#include "core/framebuffer.h"
#include "core/music_source.h"
#include "demo/headless.h"
#include "png_io.h"
#include "video.h"
#include "wav_file.h"

namespace {

constexpr const char* kProgram = "capture";
constexpr double kMaxSeconds = 3600;
constexpr int32_t kVideoFps = 60;
constexpr FramePeriod kVideoPeriod{1000, kVideoFps};

constexpr const char* kUsage =
    "usage: capture --out DIR | --wav FILE | --video FILE [options]\n"
    "Plays the show without a window or sound device and writes it as PNG frames, as a WAV\n"
    "file of its music, or as a video with its music.\n"
    "  --out DIR      write frames as DIR/frame_NNNNN.png (800 x 480); frame k is drawn at\n"
    "                 k x 17 ms, the first 300 are the silent intro\n"
    "  --from S       first second to write frames from (default 0)\n"
    "  --seconds N    how many seconds of the show to play (default 10, at most 3600)\n"
    "  --every K      write every K-th frame (default 1: all)\n"
    "  --frame K      write frame K (may repeat; replaces the --from/--every selection)\n"
    "  --wav FILE     write the music (44100 Hz, 16-bit stereo); it starts after the intro\n"
    "  --video FILE   write the show from its start with its music: FILE.mp4 (H.264 + AAC)\n"
    "                 or FILE.webm (VP9 + Opus), 800 x 480 at 60 frames a second\n"
    "  --module FILE  the module to play (default res/brumo.mod)\n"
    "  -h, --help     print this help\n"
    "Run it from the directory that holds res/.\n";

struct Options {
    std::string out_dir;
    double from_seconds = 0;
    double seconds = 10;
    uint64_t every = 1;
    std::set<uint64_t> frames;  // explicit frame numbers; when given, only these are written
    std::string wav_path;
    std::string video_path;
    std::string module_path = "res/brumo.mod";
    const char* png_option = nullptr;  // the first option that only means something for PNGs
};

Options parse_options(CommandLine* line) {
    Options o;
    const uint64_t max_frame = static_cast<uint64_t>(kMaxSeconds * 1000 / FRAME_PERIOD_MS);
    while (cli_more(*line)) {
        const char* arg = cli_next(line);
        auto png_only = [&] {
            if (o.png_option == nullptr) o.png_option = arg;
        };
        if (std::strcmp(arg, "--out") == 0) {
            o.out_dir = cli_value(line, arg);
            png_only();
        } else if (std::strcmp(arg, "--wav") == 0) {
            o.wav_path = cli_value(line, arg);
        } else if (std::strcmp(arg, "--video") == 0) {
            o.video_path = cli_value(line, arg);
        } else if (std::strcmp(arg, "--module") == 0) {
            o.module_path = cli_value(line, arg);
        } else if (std::strcmp(arg, "--from") == 0) {
            o.from_seconds = cli_seconds(line, arg, kMaxSeconds);
            png_only();
        } else if (std::strcmp(arg, "--seconds") == 0) {
            o.seconds = cli_seconds(line, arg, kMaxSeconds);
        } else if (std::strcmp(arg, "--every") == 0) {
            o.every = cli_whole(line, arg, 1, UINT64_MAX);
            png_only();
        } else if (std::strcmp(arg, "--frame") == 0) {
            o.frames.insert(cli_whole(line, arg, 0, max_frame));
            png_only();
        } else {
            cli_unexpected(*line, arg);
        }
    }
    return o;
}

// What the run will do, worked out before anything is loaded or created.
struct Plan {
    FramePeriod period;
    uint64_t first;  // PNG selection: frames first, first + every, ... before last
    uint64_t last;
    uint64_t end;  // frames to draw
};

uint64_t frames_in(double seconds, FramePeriod period) {
    // A hair over the exact count absorbs decimal seconds like 1.15 that binary falls short of.
    return static_cast<uint64_t>(seconds * 1000 * period.ms_denominator / period.ms_numerator +
                                 1e-6);
}

Plan make_plan(const CommandLine& line, const Options& o) {
    if (o.out_dir.empty() && o.wav_path.empty() && o.video_path.empty())
        cli_usage_error(line, "nothing to write: give --out DIR, --wav FILE or --video FILE");
    Plan plan{SHOW_FRAME_PERIOD, 0, 0, 0};
    if (!o.video_path.empty()) {
        if (o.png_option != nullptr)
            cli_usage_error(line,
                            "--video: records the show from its start at %d frames a second; "
                            "it does not combine with %s",
                            kVideoFps, o.png_option);
        if (video_container_for(o.video_path) == VideoContainer::none)
            cli_usage_error(line, "--video: the file name must end in .mp4 or .webm, got %s",
                            o.video_path.c_str());
        plan.period = kVideoPeriod;
        plan.end = frames_in(o.seconds, plan.period);
        if (plan.end == 0)
            cli_usage_error(line, "--seconds: a video needs at least one frame (1/%d s), got %g",
                            kVideoFps, o.seconds);
    } else if (!o.frames.empty()) {
        plan.end = *o.frames.rbegin() + 1;
    } else {
        plan.first = frames_in(o.from_seconds, plan.period);
        plan.last = frames_in(o.from_seconds + o.seconds, plan.period);
        plan.end = plan.last;
        if (!o.out_dir.empty() && plan.first >= plan.last)
            cli_usage_error(line, "--seconds: %g s from %g s holds no frame (one is 17 ms)",
                            o.seconds, o.from_seconds);
    }
    if (!o.wav_path.empty() && plan.end <= INTRO_FRAMES) {
        const double intro_s = static_cast<double>(INTRO_FRAMES) * plan.period.ms_numerator /
                               plan.period.ms_denominator / 1000;
        cli_usage_error(line,
                        "--wav: the music starts after the %g s silent intro; the %.3f s of show "
                        "asked for hold none of it",
                        intro_s,
                        static_cast<double>(plan.end) * plan.period.ms_numerator /
                            plan.period.ms_denominator / 1000);
    }
    return plan;
}

// The music the show renders up to its last frame, which starts after the intro.
uint64_t music_frames(const HeadlessShow& show, const Plan& plan) {
    return plan.end > INTRO_FRAMES ? headless_music_sample(show, plan.end - INTRO_FRAMES) : 0;
}

// Where the music goes as the show renders it. The sink cannot fail the renderer, so it
// keeps the first failure for the frame loop to see.
struct Outputs {
    WavFile* wav = nullptr;
    VideoWriter* video = nullptr;
    uint64_t video_samples = 0;  // stereo frames handed to the video, silence included
    std::string error;
};

void take_audio(const int16_t* samples, int32_t frames, void* data) {
    auto* out = static_cast<Outputs*>(data);
    if (!out->error.empty()) return;
    if (out->wav != nullptr && !out->wav->append(samples, frames, &out->error)) return;
    if (out->video != nullptr) {
        if (out->video->write_audio(samples, frames, &out->error))
            out->video_samples += static_cast<uint64_t>(frames);
    }
}

// The video's sound is silent while the intro runs: the music starts after it.
bool pad_intro_silence(Outputs* out, uint64_t until) {
    static const std::vector<int16_t> silence(2 * 1024, 0);
    while (out->video_samples < until) {
        const uint64_t left = until - out->video_samples;
        const auto n = static_cast<int32_t>(left < 1024 ? left : 1024);
        if (!out->video->write_audio(silence.data(), n, &out->error)) return false;
        out->video_samples += static_cast<uint64_t>(n);
    }
    return true;
}

// Set by the signal handler: a lock-free atomic is all a handler may safely touch.
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void on_signal(int) {
    interrupted.store(true);
}

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Whether a progress line stands unfinished on standard error.
bool progress_shown = false;

// One line on standard error, rewritten in place.
void print_progress(uint64_t done, uint64_t total, double elapsed) {
    progress_shown = true;
    const double show_s = static_cast<double>(done) / kVideoFps;
    std::fprintf(stderr, "\rcapture: %llu of %llu frames, %.1f of %.1f s of show, %.2fx real time ",
                 static_cast<unsigned long long>(done), static_cast<unsigned long long>(total),
                 show_s, static_cast<double>(total) / kVideoFps,
                 elapsed > 0 ? show_s / elapsed : 0.0);
}

// Draws, encodes and muxes the whole video. False, with a message, on any failure; the
// writers then remove what they had begun.
bool run_video(HeadlessShow* show, const Options& options, const Plan& plan, Outputs* out,
               std::string* error) {
    VideoWriter video;
    const VideoSettings settings{FRAME_WIDTH, FRAME_HEIGHT, kVideoFps, MUSIC_RATE};
    if (!video.open(options.video_path, settings, error)) {
        *error = options.video_path + ": " + *error;
        return false;
    }
    out->video = &video;
    WavFile wav;
    if (!options.wav_path.empty()) {
        if (!wav.open(options.wav_path, MUSIC_RATE, music_frames(*show, plan), error)) return false;
        out->wav = &wav;
    }
    const Clock::time_point start = Clock::now();
    double last_report = -1;
    for (uint64_t k = 0; k < plan.end; ++k) {
        if (interrupted.load()) {
            *error = "interrupted: " + options.video_path + " not written";
            return false;
        }
        headless_next_frame(show);
        if (show->frame <= INTRO_FRAMES)
            pad_intro_silence(out, headless_music_sample(*show, show->frame));
        if (out->error.empty()) video.write_frame(framebuffer.pixels, &out->error);
        if (!out->error.empty()) {
            *error = options.video_path + ": " + out->error;
            return false;
        }
        const double elapsed = seconds_since(start);
        if (elapsed - last_report >= 0.5 || k + 1 == plan.end) {
            print_progress(k + 1, plan.end, elapsed);
            last_report = elapsed;
        }
    }
    if (!video.finish(error)) {
        *error = options.video_path + ": " + *error;
        return false;
    }
    if (out->wav != nullptr && !wav.finish(error)) return false;
    const double elapsed = seconds_since(start);
    std::fputc('\n', stderr);
    std::error_code size_error;
    const auto bytes = std::filesystem::file_size(options.video_path, size_error);
    const double show_s = static_cast<double>(plan.end) / kVideoFps;
    std::printf(
        "wrote %s: %llu frames at %d per second (%.3f s), %s, %.1f MB; encoded in "
        "%.1f s (%.2fx real time)\n",
        options.video_path.c_str(), static_cast<unsigned long long>(plan.end), kVideoFps, show_s,
        video.codecs().c_str(), size_error ? 0.0 : static_cast<double>(bytes) / 1e6, elapsed,
        elapsed > 0 ? show_s / elapsed : 0.0);
    if (out->wav != nullptr)
        std::printf("wrote %s: %.3f s of music\n", options.wav_path.c_str(),
                    static_cast<double>(show->audio_frames) / MUSIC_RATE);
    return true;
}

// Draws the frames, writing the chosen ones as PNG files and the music as WAV. False, with a
// message, on any failure.
bool run_frames(HeadlessShow* show, const Options& options, const Plan& plan, Outputs* out,
                std::string* error) {
    // The file first: the writer removes it again when the folder cannot be made, while a
    // folder made first would stay behind when the file cannot.
    WavFile wav;
    if (!options.wav_path.empty()) {
        if (!wav.open(options.wav_path, MUSIC_RATE, music_frames(*show, plan), error)) return false;
        out->wav = &wav;
    }
    if (!options.out_dir.empty()) {
        std::error_code code;
        std::filesystem::create_directories(options.out_dir, code);
        if (code) {
            *error = "cannot create " + options.out_dir + ": " + code.message();
            return false;
        }
    }
    int written = 0;
    for (uint64_t k = 0; k < plan.end; ++k) {
        if (interrupted.load()) {
            *error = "interrupted after " + std::to_string(written) + " frames";
            return false;
        }
        headless_next_frame(show);
        if (!out->error.empty()) {
            *error = out->error;
            return false;
        }
        const bool wanted = options.frames.empty()
                                ? k >= plan.first && (k - plan.first) % options.every == 0
                                : options.frames.count(k) != 0;
        if (!wanted || options.out_dir.empty()) continue;
        char name[64];
        std::snprintf(name, sizeof name, "/frame_%05llu.png", static_cast<unsigned long long>(k));
        if (!write_frame_png(options.out_dir + name, framebuffer.pixels, framebuffer.width,
                             framebuffer.height, error))
            return false;
        ++written;
        std::printf("frame %llu  time %.3f s  tick %u\n", static_cast<unsigned long long>(k),
                    show_frame_time_ms(k) / 1000.0, show->drawn_tick);
    }
    if (out->wav != nullptr && !wav.finish(error)) return false;
    if (!options.out_dir.empty())
        std::printf("%d frames written to %s\n", written, options.out_dir.c_str());
    if (out->wav != nullptr)
        std::printf("wrote %s: %.3f s of music\n", options.wav_path.c_str(),
                    static_cast<double>(show->audio_frames) / MUSIC_RATE);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    CommandLine line = cli_start(kProgram, kUsage, argc, argv);
    const Options options = parse_options(&line);
    const Plan plan = make_plan(line, options);
    if (!options.video_path.empty()) {
        const std::string why = video_unavailable(video_container_for(options.video_path));
        if (!why.empty()) cli_fail(kProgram, "%s: %s", options.video_path.c_str(), why.c_str());
    }

    // A stop request ends the run between frames, so that unfinished files are removed. A
    // signal ignored from the start stays ignored: a long run under nohup outlives its terminal.
    for (int number : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction current {};
        if (sigaction(number, nullptr, &current) == 0 && current.sa_handler != SIG_IGN)
            std::signal(number, on_signal);
    }

    // Everything is loaded before any output is created, so a bad input leaves nothing behind.
    Outputs out;
    HeadlessShow show;
    if (headless_start(&show, options.module_path.c_str(), take_audio, &out) < 0)
        cli_fail(kProgram,
                 "cannot load the show from res/ (run capture from the directory "
                 "that holds res/)");
    if (show.player == nullptr)
        cli_fail(kProgram, "no music from %s, and without it the show holds its first phase",
                 options.module_path.c_str());
    headless_set_frame_period(&show, plan.period);
    std::string error;
    const bool ok = options.video_path.empty() ? run_frames(&show, options, plan, &out, &error)
                                               : run_video(&show, options, plan, &out, &error);
    if (!ok) {
        std::fflush(stdout);
        if (progress_shown) std::fputc('\n', stderr);  // ends the progress line
        cli_fail(kProgram, "%s", error.c_str());
    }
    return 0;
}
