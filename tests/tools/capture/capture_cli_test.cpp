// capture through the built executable: its command line, what it creates and what it leaves
// alone, and its videos read back with FFmpeg's libraries.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "png_io.h"
#include "tools/run_tool.h"
#if CAPTURE_HAS_VIDEO
#include "media_reader.h"
#endif

namespace fs = std::filesystem;

namespace {

class Capture : public ::testing::Test {
   protected:
    void SetUp() override {
        char name[] = "/tmp/capture_cli_XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        scratch_ = name;
        repo_ = fs::current_path();
    }
    void TearDown() override { fs::remove_all(scratch_); }

    bool have_resources() const { return fs::exists(repo_ / "res/brumo.mod"); }

    // Runs capture in `dir` with a time limit, so a hang fails the test instead of stalling it.
    // `stop` sends SIGINT at the limit instead and reports capture's own exit status.
    ToolRun run(const std::vector<std::string>& args, const fs::path& dir, int limit_s = 120,
                bool stop = false) {
        return run_tool(std::string("timeout -k 5 ") + (stop ? "--preserve-status -s INT " : "") +
                            std::to_string(limit_s) + " " + shell_quoted(CAPTURE_EXE),
                        args, dir, scratch_);
    }

    fs::path scratch_;
    fs::path repo_;
};

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST_F(Capture, CommandLineMistakesAndBadInputsAreNamedAndCreateNothing) {
    enum Where { kRepo, kEmptyDir };
    struct Case {
        const char* name;
        std::vector<std::string> args;  // "@" stands for the scratch folder
        Where where;
        int status;
        const char* err_has;  // also: usage follows on stderr when status is 2
    };
    const Case cases[] = {
        {"unknown option", {"--bogus"}, kRepo, 2, "capture: --bogus: unknown option\n"},
        {"stray argument", {"frames"}, kRepo, 2, "capture: frames: unexpected argument\n"},
        {"every zero",
         {"--out", "@/png", "--every", "0"},
         kRepo,
         2,
         "capture: --every: needs a whole number of at least 1, got 0\n"},
        {"negative seconds",
         {"--out", "@/png", "--seconds", "-1"},
         kRepo,
         2,
         "capture: --seconds: needs a number of seconds from 0 to 3600 (like 1.5), got -1\n"},
        {"missing value", {"--wav"}, kRepo, 2, "capture: --wav: needs a value\n"},
        {"nothing to write", {"--seconds", "2"}, kRepo, 2, "capture: nothing to write"},
        {"empty selection",
         {"--out", "@/png", "--from", "3", "--seconds", "0"},
         kRepo,
         2,
         "capture: --seconds: 0 s from 3 s holds no frame"},
        {"wav of the silent intro",
         {"--wav", "@/music.wav", "--seconds", "1"},
         kRepo,
         2,
         "capture: --wav: the music starts after the 5.1 s silent intro"},
        {"video of another kind",
         {"--video", "@/show.avi"},
         kRepo,
         2,
         "capture: --video: the file name must end in .mp4 or .webm, got "},
        {"video with a frame selection",
         {"--video", "@/show.mp4", "--every", "2"},
         kRepo,
         2,
         "it does not combine with --every"},
        {"video of no frames",
         {"--video", "@/show.webm", "--seconds", "0.01"},
         kRepo,
         2,
         "capture: --seconds: a video needs at least one frame"},
        {"no res folder",
         {"--out", "@/png", "--wav", "@/music.wav", "--seconds", "6"},
         kEmptyDir,
         1,
         "capture: cannot load the show from res/"},
        {"missing module",
         {"--out", "@/png", "--module", "@/none.mod"},
         kRepo,
         1,
         "capture: no music from "},
        {"wav where no file can be made, with frames",
         {"--out", "@/png", "--wav", "@/no/music.wav", "--seconds", "6"},
         kRepo,
         1,
         "music.wav"},
        {"frames where no folder can be made, with a wav",
         {"--out", "/dev/null/png", "--wav", "@/music.wav", "--seconds", "6"},
         kRepo,
         1,
         "capture: cannot create /dev/null/png"},
        {"video where no file can be made",
         {"--video", "@/png/show.mp4", "--seconds", "1"},
         kRepo,
         1,
         "/png/show.mp4: cannot create: No such file or directory\n"},
    };
    const fs::path empty = scratch_ / "elsewhere";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.where == kRepo && c.status == 1 && !have_resources()) continue;
        fs::create_directories(empty);
        std::vector<std::string> args;
        for (std::string a : c.args) {
            if (a.rfind("@", 0) == 0) a = scratch_.string() + a.substr(1);
            args.push_back(a);
        }
        const ToolRun r = run(args, c.where == kRepo ? repo_ : empty);
        EXPECT_EQ(r.status, c.status);
        EXPECT_TRUE(contains(r.err, c.err_has)) << r.err;
        EXPECT_EQ(contains(r.err, "usage: capture"), c.status == 2) << r.err;
        EXPECT_FALSE(contains(r.out, "usage:")) << r.out;
        // Nothing is left behind: the scratch folder holds only the empty folder made above.
        std::vector<std::string> left;
        for (const auto& entry : fs::recursive_directory_iterator(scratch_))
            left.push_back(entry.path().string());
        EXPECT_EQ(left, std::vector<std::string>{empty.string()});
    }
}

TEST_F(Capture, HelpGoesToStandardOutput) {
    for (const char* flag : {"-h", "--help"}) {
        // Help wins wherever it stands, even after a mistake the tool has not reached.
        const ToolRun r = run({"--out", "x", flag, "--every", "0"}, scratch_);
        EXPECT_EQ(r.status, 0) << flag;
        EXPECT_EQ(r.out.rfind("usage: capture", 0), 0u) << r.out;
        EXPECT_TRUE(contains(r.out, "--video FILE")) << r.out;
        EXPECT_EQ(r.err, "");
        EXPECT_FALSE(fs::exists(scratch_ / "x"));
    }
}

TEST_F(Capture, FramesAreLabelledWithTheTickTheyWereDrawnAt) {
    if (!have_resources()) GTEST_SKIP() << "res/ is not present";
    const ToolRun r = run({"--out", (scratch_ / "png").string(), "--frame", "1383"}, repo_);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "frame 1383  time 23.511 s  tick 920\n")) << r.out;
    EXPECT_TRUE(fs::exists(scratch_ / "png/frame_01383.png"));
}

TEST_F(Capture, TheWavHoldsTheMusicRenderedUpToTheLastFrame) {
    if (!have_resources()) GTEST_SKIP() << "res/ is not present";
    const fs::path wav = scratch_ / "music.wav";
    const ToolRun r = run({"--wav", wav.string(), "--seconds", "6"}, repo_);
    ASSERT_EQ(r.status, 0) << r.err;
    // 6 s is 352 frames of 17 ms; the last 52 follow the intro: 52 x 17 ms at 44100 Hz.
    const uint64_t samples = 52 * 17 * 44100 / 1000;
    EXPECT_EQ(fs::file_size(wav), 44 + 4 * samples);
    EXPECT_TRUE(contains(r.out, "wrote " + wav.string() + ": 0.884 s of music")) << r.out;
}

#if CAPTURE_HAS_VIDEO

TEST_F(Capture, AStoppedVideoLeavesNoFileBehind) {
    if (!have_resources()) GTEST_SKIP() << "res/ is not present";
    // Ten minutes of show take far longer than the two seconds it is given.
    const fs::path path = scratch_ / "show.mp4";
    const ToolRun r = run({"--video", path.string(), "--seconds", "600"}, repo_, 2, true);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "capture: interrupted: " + path.string() + " not written"))
        << r.err;
    EXPECT_FALSE(fs::exists(path));
}

TEST_F(Capture, ASignalIgnoredAtTheStartStaysIgnored) {
    if (!have_resources()) GTEST_SKIP() << "res/ is not present";
    // As under nohup: a hang-up sent once the video is begun (its file exists) must not end
    // the run. The signal goes to capture itself; the time limit covers the whole script.
    const fs::path path = scratch_ / "show.mp4";
    const fs::path err = scratch_ / "err";
    const std::string script = "cd " + shell_quoted(repo_) + " && (trap '' HUP; exec " +
                               shell_quoted(CAPTURE_EXE) + " --video " + shell_quoted(path) +
                               " --seconds 4 >/dev/null 2>" + shell_quoted(err) + ") & pid=$!; " +
                               "for i in $(seq 300); do [ -e " + shell_quoted(path) +
                               " ] && break; sleep 0.1; done; kill -HUP $pid; wait $pid";
    const int raw = std::system(("timeout -k 5 120 sh -c " + shell_quoted(script)).c_str());
    EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << raw << ": " << read_file(err);
    EXPECT_TRUE(fs::exists(path));
}

double channel_error(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b,
                     double* share_far) {
    double sum = 0;
    size_t far = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        const int d = std::abs(a[i] - b[i]);
        sum += d;
        far += d > 32;
    }
    *share_far = static_cast<double>(far) / static_cast<double>(a.size());
    return sum / static_cast<double>(a.size());
}

// Seconds to the first sample of a 44100 Hz stereo WAV file above 1/1000 of full scale.
double first_sound(const fs::path& wav) {
    const std::string bytes = read_file(wav);
    for (size_t at = 44; at + 1 < bytes.size(); at += 2) {
        const auto v = static_cast<int16_t>(static_cast<uint8_t>(bytes[at]) |
                                            static_cast<uint8_t>(bytes[at + 1]) << 8);
        if (std::abs(v) > 32) return static_cast<double>((at - 44) / 4) / 44100;
    }
    return -1;
}

// The mean signed difference of each channel over the pixels that have a colour in `want`.
// Compression noise averages out; a wrong matrix or range shifts them all one way.
std::array<double, 3> colour_bias(const std::vector<uint8_t>& got,
                                  const std::vector<uint8_t>& want) {
    std::array<double, 3> bias{};
    size_t count = 0;
    for (size_t i = 0; i + 2 < want.size(); i += 3) {
        if (want[i] == want[i + 1] && want[i + 1] == want[i + 2]) continue;
        for (size_t k = 0; k < 3; ++k) bias[k] += got[i + k] - want[i + k];
        ++count;
    }
    for (double& b : bias) b /= static_cast<double>(count == 0 ? 1 : count);
    return bias;
}

TEST_F(Capture, VideosHoldEveryFrameTheMusicAndTheExactPicture) {
    if (!have_resources()) GTEST_SKIP() << "res/ is not present";
    // 5.5 s: the whole intro and half a second of music.
    constexpr double kSeconds = 5.5;
    constexpr int64_t kFrames = 330;
    constexpr int64_t kIntroFrame = 200;
    const ToolRun png = run({"--out", (scratch_ / "png").string(), "--frame", "200"}, repo_);
    ASSERT_EQ(png.status, 0) << png.err;
    RgbImage reference;
    std::string error;
    ASSERT_TRUE(read_png_rgb((scratch_ / "png/frame_00200.png").string(), &reference, &error))
        << error;

    struct Case {
        const char* file;
        const char* video_codec;
        const char* audio_codec;
        int32_t sample_rate;
        int32_t encoder_frame;  // audio samples the encoder may pad the end to
    };
    const Case cases[] = {
        {"show.mp4", "h264", "aac", 44100, 1024},
        {"show.webm", "vp9", "opus", 48000, 960},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const fs::path path = scratch_ / c.file;
        const fs::path wav = scratch_ / (std::string(c.file) + ".wav");
        const ToolRun r =
            run({"--video", path.string(), "--wav", wav.string(), "--seconds", "5.5"}, repo_);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(contains(r.err, "330 of 330 frames, 5.5 of 5.5 s of show")) << r.err;
        EXPECT_TRUE(contains(r.out, "wrote " + path.string() + ": 330 frames at 60 per second"))
            << r.out;

        MediaFacts facts;
        ASSERT_TRUE(read_media(path.string(), kIntroFrame, &facts, &error)) << error;
        EXPECT_EQ(facts.video_codec, c.video_codec);
        EXPECT_EQ(facts.audio_codec, c.audio_codec);
        EXPECT_EQ(facts.width, 800);
        EXPECT_EQ(facts.height, 480);
        EXPECT_DOUBLE_EQ(facts.frame_rate, 60.0);
        EXPECT_EQ(facts.video_frames, kFrames);
        EXPECT_NEAR(facts.video_end, kSeconds, 1.0 / 60);

        EXPECT_EQ(facts.sample_rate, c.sample_rate);
        EXPECT_EQ(facts.channels, 2);
        // Every sample of the show is there; an encoder may pad its last frame with silence.
        const auto expected = static_cast<int64_t>(kSeconds * c.sample_rate);
        EXPECT_GE(facts.audio_samples, expected);
        EXPECT_LE(facts.audio_samples, expected + c.encoder_frame);
        EXPECT_GT(facts.audio_peak, 0.05) << "the music after the intro is missing";
        // The music starts when the intro's 300 frames (5 s) are over: its first sound comes
        // as far into the video as it comes into the music alone, within a few milliseconds
        // of encoder spread.
        const double onset = first_sound(wav);
        ASSERT_GT(onset, 0);
        EXPECT_NEAR(facts.first_sound, 5.0 + onset, 0.005);

        ASSERT_EQ(facts.rgb.size(), reference.rgb.size());
        double share_far = 0;
        const double mean = channel_error(facts.rgb, reference.rgb, &share_far);
        EXPECT_LT(mean, 1.0);
        EXPECT_LT(share_far, 0.001);
        const std::array<double, 3> bias = colour_bias(facts.rgb, reference.rgb);
        for (double b : bias) EXPECT_LT(std::abs(b), 3.0) << "a colour shift: wrong matrix?";
    }
}

#endif

}  // namespace
