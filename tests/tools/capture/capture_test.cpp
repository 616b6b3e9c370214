// capture: its parts (the palette in YCbCr, the container chosen by the file name, the headless
// show's music clock at a chosen frame period), then the built executable: what it writes, what
// it leaves behind when stopped, and its videos read back with FFmpeg's libraries, colours as a
// player decodes them. Its command line is checked with the other tools'
// (tools.conventions.capture).
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "core/framebuffer.h"
#include "demo/headless.h"
#include "png_io.h"
#include "tools/run_tool.h"
#include "video.h"
#include "yuv.h"
#if CAPTURE_HAS_VIDEO
#include "media_reader.h"
#endif

namespace {

// Each colour comes back within one step (8-bit YCbCr cannot hold every one exactly, but the
// search finds an exact code for many), and greys carry no colour: a tint would show on the
// black background and the white words.
TEST(PaletteYcc, EveryColourComesBackWithinOneStepAndGreysUntinted) {
    const std::array<Ycc, 256> table = ycc_palette(palette);
    int exact = 0;
    for (int i = 0; i < 256; ++i) {
        const std::array<uint8_t, 3> back = rgb_from_ycc(table[i]);
        int worst = 0;
        for (int k = 0; k < 3; ++k)
            worst = std::max(
                worst, std::abs(back[k] - static_cast<int>(palette[i] >> (24 - 8 * k) & 0xFF)));
        EXPECT_LE(worst, 1) << "entry " << i;
        exact += worst == 0;
        const bool grey = (palette[i] >> 24) == (palette[i] >> 16 & 0xFF) &&
                          (palette[i] >> 16 & 0xFF) == (palette[i] >> 8 & 0xFF);
        EXPECT_TRUE(!grey || (table[i].cb == 128 && table[i].cr == 128)) << "entry " << i;
    }
    EXPECT_GE(exact, 100);
}

TEST(VideoName, TheExtensionChoosesTheContainerInAnyCase) {
    using enum VideoContainer;
    const std::pair<const char*, VideoContainer> cases[] = {
        {"show.mp4", mp4},
        {"show.MP4", mp4},
        {"out/show.webm", webm},
        {"show.WebM", webm},
        {"a.b/show.mp4", mp4},
        {"show.mp4.part", none},
        {"show.avi", none},
        {"mp4", none},
        {"clips.mp4/show", none},
        {"show.", none},
        {"", none},
    };
    for (const auto& [path, container] : cases)
        EXPECT_EQ(video_container_for(path), container) << "'" << path << "'";
}

TEST(HeadlessClock, MusicSamplesFollowTheFramePeriod) {
    const struct {
        FramePeriod period;
        uint64_t frame, sample;
    } cases[] = {
        // The show's pace: k x 17 ms at 44100 Hz, rounded down (749.7 samples a frame).
        {{17, 1}, 1, 749},
        {{17, 1}, 1000, 749700},
        // Sixty a second: exactly 735 samples a frame, however far into the show.
        {{1000, 60}, 59, 43365},
        {{1000, 60}, 1000000000000000ull, 735000000000000000ull},
        // The largest terms allowed: k x 65535 x 44100 would pass 64 bits here.
        {{65535, 1}, 10000000000ull, 28900935000000000ull},
        {{65535, 65535}, 1000000000000ull, 44100000000000ull},
        {{1, 65535}, 65535ull * 1000, 44100},
    };
    HeadlessShow show{};
    for (const auto& c : cases) {
        ASSERT_EQ(headless_set_frame_period(&show, c.period), 0);
        EXPECT_EQ(headless_music_sample(show, c.frame), c.sample)
            << c.period.ms_numerator << "/" << c.period.ms_denominator << " frame " << c.frame;
    }
    for (FramePeriod bad : {FramePeriod{0, 1}, FramePeriod{1, 0}, FramePeriod{65536, 1}}) {
        EXPECT_EQ(headless_set_frame_period(&show, bad), -1);
        EXPECT_EQ(show.period.ms_numerator, 1u);  // the last good period stays
    }
}

namespace fs = std::filesystem;

class Capture : public ::testing::Test {
   protected:
    // capture with `line` as its arguments ("@" for the scratch folder), run in the
    // repository's root (which holds res/) under a time limit. `stop` sends SIGINT at the limit
    // instead and gives capture's own exit status.
    ToolRun run(const std::string& line, int limit_s = 120, bool stop = false) const {
        return run_tool(std::string("timeout -k 5 ") + (stop ? "--preserve-status -s INT " : "") +
                            std::to_string(limit_s) + " " + shell_quoted(CAPTURE_EXE),
                        words(line, scratch_.path), ".");
    }
    ScratchDir scratch_;
};

bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A frame is listed with the tick it was drawn at; the WAV holds the music rendered up to the
// last frame drawn: 1384 frames, the last 1084 after the intro, 1084 x 17 ms at 44100 Hz.
TEST_F(Capture, FramesListTheirTicksAndTheWavEndsWithTheLastFrame) {
    const ToolRun r = run("--out @/png --frame 1383 --wav @/music.wav");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r.out, "frame 1383  time 23.511 s  tick 920\n")) << r.out;
    EXPECT_TRUE(fs::exists(scratch_ / "png/frame_01383.png"));
    EXPECT_EQ(fs::file_size(scratch_ / "music.wav"), 44u + 4u * (1084 * 17 * 44100 / 1000));
    EXPECT_TRUE(has(r.out, "wrote " + scratch_ / "music.wav" + ": 18.428 s of music")) << r.out;
}

#if CAPTURE_HAS_VIDEO

TEST_F(Capture, AStoppedVideoLeavesNoFileAndAnIgnoredHangUpStaysIgnored) {
    // Ten minutes of show take far longer than the two seconds they are given.
    const ToolRun r = run("--video @/stopped.mp4 --seconds 600", 2, true);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(has(r.err, "capture: interrupted: " + scratch_ / "stopped.mp4" + " not written"))
        << r.err;
    EXPECT_FALSE(fs::exists(scratch_ / "stopped.mp4"));

    // As under nohup: a hang-up sent once the video is begun (its file exists) must not end the
    // run. The signal goes to capture itself; the time limit covers the whole script.
    const std::string path = shell_quoted(scratch_ / "show.mp4");
    const std::string script = "(trap '' HUP; exec " + shell_quoted(CAPTURE_EXE) + " --video " +
                               path + " --seconds 4 >/dev/null) & pid=$!; for i in $(seq 300); " +
                               "do [ -e " + path +
                               " ] && break; sleep 0.1; done; kill -HUP $pid; " + "wait $pid";
    const ToolRun hup = run_tool("timeout -k 5 120 sh -c " + shell_quoted(script), {}, ".");
    EXPECT_EQ(hup.status, 0) << hup.err;
    EXPECT_TRUE(fs::exists(scratch_ / "show.mp4"));
}

// Seconds to the first sample of a 44100 Hz stereo WAV file above 1/1000 of full scale.
double first_sound(const std::string& wav) {
    for (size_t at = 44; at + 1 < wav.size(); at += 2) {
        const auto v = static_cast<int16_t>(static_cast<uint8_t>(wav[at]) |
                                            static_cast<uint8_t>(wav[at + 1]) << 8);
        if (std::abs(v) > 32) return static_cast<double>((at - 44) / 4) / 44100;
    }
    return -1;
}

TEST_F(Capture, VideosHoldEveryFrameTheMusicAndTheExactPicture) {
    // 5.5 s: the whole intro and half a second of music; frame 200 against capture's PNG.
    const ToolRun png = run("--out @/png --frame 200");
    ASSERT_EQ(png.status, 0) << png.err;
    RgbImage want;
    std::string error;
    ASSERT_TRUE(read_png_rgb(scratch_ / "png/frame_00200.png", &want, &error)) << error;
    const struct {
        const char* file;
        const char* video_codec;
        const char* audio_codec;
        int32_t sample_rate;
        int32_t encoder_frame;  // audio samples the encoder may pad the end to
    } cases[] = {
        {"show.mp4", "h264", "aac", 44100, 1024},
        {"show.webm", "vp9", "opus", 48000, 960},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = scratch_ / c.file;
        const ToolRun r =
            run(std::string("--video @/") + c.file + " --wav @/music.wav --seconds 5.5");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(has(r.err, "330 of 330 frames, 5.5 of 5.5 s of show")) << r.err;
        EXPECT_TRUE(has(r.out, "wrote " + path + ": 330 frames at 60 per second")) << r.out;

        MediaFacts f;
        ASSERT_TRUE(read_media(path, 200, &f, &error)) << error;
        EXPECT_EQ(f.video_codec + " " + f.audio_codec,
                  std::string(c.video_codec) + " " + c.audio_codec);
        EXPECT_EQ(f.width * 10000 + f.height, 800 * 10000 + 480);
        EXPECT_DOUBLE_EQ(f.frame_rate, 60.0);
        EXPECT_EQ(f.video_frames, 330);
        EXPECT_NEAR(f.video_end, 5.5, 1.0 / 60);
        EXPECT_EQ(f.sample_rate, c.sample_rate);
        EXPECT_EQ(f.channels, 2);
        // Every sample of the show is there; an encoder may pad its last frame with silence.
        const auto samples = static_cast<int64_t>(5.5 * c.sample_rate);
        EXPECT_GE(f.audio_samples, samples);
        EXPECT_LE(f.audio_samples, samples + c.encoder_frame);
        EXPECT_GT(f.audio_peak, 0.05) << "the music after the intro is missing";
        // The music starts when the intro's 300 frames (5 s) are over: its first sound comes as
        // far into the video as into the music alone, within a few milliseconds of encoding.
        const double onset = first_sound(read_file(scratch_ / "music.wav"));
        ASSERT_GT(onset, 0);
        EXPECT_NEAR(f.first_sound, 5.0 + onset, 0.005);

        // The picture as a player decodes it: compression noise is small and averages out; a
        // wrong matrix or range shifts every coloured pixel one way.
        ASSERT_EQ(f.rgb.size(), want.rgb.size());
        double error_sum = 0, far = 0, bias[3] = {}, coloured = 0;
        for (size_t i = 0; i < f.rgb.size(); ++i) {
            const int d = f.rgb[i] - want.rgb[i];
            error_sum += std::abs(d);
            far += std::abs(d) > 32;
            const uint8_t* px = &want.rgb[i - i % 3];
            if (px[0] != px[1] || px[1] != px[2]) bias[i % 3] += d, coloured += i % 3 == 0;
        }
        EXPECT_LT(error_sum / f.rgb.size(), 1.0);
        EXPECT_LT(far / f.rgb.size(), 0.001);
        for (double b : bias)
            EXPECT_LT(std::abs(b / std::max(coloured, 1.0)), 3.0) << "a colour shift";
    }
}

#endif

}  // namespace
