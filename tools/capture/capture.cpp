// capture: plays the show deterministically without a window or sound device, writing chosen
// frames as 800 x 480 PNG files and the music as a WAV file.
//
//   capture --out DIR [--from S] [--seconds N] [--every K] [--frame K]... [--wav FILE]
//
// Frame k of the show is drawn at k x 17 ms from the first intro frame (the intro's 300
// frames come first; the music starts after them), with tick_count taken from the music
// rendered up to that time. Run it from the directory that holds res/.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "demo/headless.h"
#include "platform/clock.h"
#include "platform/framebuffer.h"
#include "png_io.h"

namespace {

struct Options {
    std::string out_dir;
    double from_seconds = 0;
    double seconds = 10;
    uint64_t every = 1;
    std::set<uint64_t> frames;  // explicit frame numbers; when given, only these are written
    std::string wav_path;
    std::string module_path = "res/brumo.mod";
};

void usage(std::FILE* to) {
    std::fputs(
        "usage: capture --out DIR [options]\n"
        "Plays the show without a window or sound device and writes frames as PNG files\n"
        "(DIR/frame_NNNNN.png, 800 x 480) and optionally the music as a WAV file.\n"
        "Frame k is shown at k x 17 ms; the first 300 frames are the silent intro.\n"
        "  --from S       first second to write frames from (default 0)\n"
        "  --seconds N    how many seconds to play from there (default 10)\n"
        "  --every K      write every K-th frame (default 1: all)\n"
        "  --frame K      write frame K (may repeat; replaces --from/--every selection)\n"
        "  --wav FILE     write the music rendered so far (44100 Hz, 16-bit stereo)\n"
        "  --module FILE  the module to play (default res/brumo.mod)\n"
        "Run it from the directory that holds res/.\n",
        to);
}

bool parse_number(const char* text, double* value) {
    char* end = nullptr;
    *value = std::strtod(text, &end);
    return end != text && *end == '\0' && *value >= 0;
}

bool parse_options(int argc, char** argv, Options* o) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            usage(stdout);
            std::exit(0);
        }
        if (i + 1 >= argc) return false;
        const char* value = argv[++i];
        double number = 0;
        if (arg == "--out") {
            o->out_dir = value;
        } else if (arg == "--wav") {
            o->wav_path = value;
        } else if (arg == "--module") {
            o->module_path = value;
        } else if (!parse_number(value, &number)) {
            return false;
        } else if (arg == "--from") {
            o->from_seconds = number;
        } else if (arg == "--seconds") {
            o->seconds = number;
        } else if (arg == "--every" && number >= 1) {
            o->every = static_cast<uint64_t>(number);
        } else if (arg == "--frame") {
            o->frames.insert(static_cast<uint64_t>(number));
        } else {
            return false;
        }
    }
    return !o->out_dir.empty() || !o->wav_path.empty();
}

void put_le(std::vector<uint8_t>* out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out->push_back(static_cast<uint8_t>(value >> (8 * i)));
}

bool write_wav(const std::string& path, const std::vector<int16_t>& samples) {
    std::vector<uint8_t> header;
    const uint32_t data_bytes = static_cast<uint32_t>(samples.size() * 2);
    header.insert(header.end(), {'R', 'I', 'F', 'F'});
    put_le(&header, 36 + data_bytes, 4);
    header.insert(header.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put_le(&header, 16, 4);
    put_le(&header, 1, 2);  // PCM
    put_le(&header, 2, 2);  // stereo
    put_le(&header, SHOW_SAMPLE_RATE, 4);
    put_le(&header, SHOW_SAMPLE_RATE * 4, 4);
    put_le(&header, 4, 2);
    put_le(&header, 16, 2);
    header.insert(header.end(), {'d', 'a', 't', 'a'});
    put_le(&header, data_bytes, 4);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    bool ok = std::fwrite(header.data(), 1, header.size(), file) == header.size();
    // Samples are written in the machine's order, which is the little-endian order of WAV.
    ok = ok && std::fwrite(samples.data(), 2, samples.size(), file) == samples.size();
    return std::fclose(file) == 0 && ok;
}

void collect_audio(const int16_t* samples, int32_t frames, void* data) {
    auto* all = static_cast<std::vector<int16_t>*>(data);
    all->insert(all->end(), samples, samples + 2 * frames);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse_options(argc, argv, &options)) {
        usage(stderr);
        return 2;
    }
    if (!options.out_dir.empty()) {
        std::error_code error;
        std::filesystem::create_directories(options.out_dir, error);
        if (error) {
            std::fprintf(stderr, "capture: cannot create %s: %s\n", options.out_dir.c_str(),
                         error.message().c_str());
            return 1;
        }
    }
    std::vector<int16_t> audio;
    HeadlessShow show;
    if (headless_start(&show, options.module_path.c_str(),
                       options.wav_path.empty() ? nullptr : collect_audio, &audio) < 0)
        return 1;

    const auto first = static_cast<uint64_t>(options.from_seconds * 1000 / SHOW_FRAME_MS);
    const auto last =
        static_cast<uint64_t>((options.from_seconds + options.seconds) * 1000 / SHOW_FRAME_MS);
    const uint64_t end = options.frames.empty() ? last : *options.frames.rbegin() + 1;
    int written = 0;
    for (uint64_t k = 0; k < end; ++k) {
        headless_next_frame(&show);
        bool wanted = options.frames.empty() ? k >= first && (k - first) % options.every == 0
                                             : options.frames.count(k) != 0;
        if (!wanted || options.out_dir.empty()) continue;
        char name[64];
        std::snprintf(name, sizeof name, "/frame_%05llu.png", static_cast<unsigned long long>(k));
        std::string error;
        if (!write_frame_png(options.out_dir + name, framebuffer.pixels, framebuffer.width,
                             framebuffer.height, &error)) {
            std::fprintf(stderr, "capture: %s\n", error.c_str());
            return 1;
        }
        ++written;
        std::printf("frame %llu  time %.3f s  tick %u\n", static_cast<unsigned long long>(k),
                    show_frame_time_ms(k) / 1000.0, tick_count.load());
    }
    if (!options.wav_path.empty() && !write_wav(options.wav_path, audio)) {
        std::fprintf(stderr, "capture: cannot write %s\n", options.wav_path.c_str());
        return 1;
    }
    std::printf("%d frames written, %.1f s of music rendered\n", written,
                static_cast<double>(show.audio_frames) / SHOW_SAMPLE_RATE);
    return 0;
}
