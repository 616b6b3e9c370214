// capture's parts; its files, what a stop leaves, and its videos read back as a player would.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/framebuffer.h"
#include "demo/headless.h"
#include "png_io.h"
#include "tools/run_tool.h"
#include "video.h"
#include "yuv.h"
#if CAPTURE_HAS_VIDEO
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}
#endif

namespace {

// Each colour comes back within one step (many exactly); greys carry no tint.
TEST(PaletteYcc, EveryColourComesBackWithinOneStepAndGreysUntinted) {
    const std::array<Ycc, 256> table = ycc_palette(palette);
    int exact = 0;
    for (int i = 0; i < 256; ++i) {
        const std::array<uint8_t, 3> back = rgb_from_ycc(table[i]);
        const int rgb[3] = {int(palette[i] >> 24), int(palette[i] >> 16 & 0xFF),
                            int(palette[i] >> 8 & 0xFF)};
        int worst = 0;
        for (int k = 0; k < 3; ++k) worst = std::max(worst, std::abs(back[k] - rgb[k]));
        EXPECT_LE(worst, 1) << "entry " << i;
        exact += worst == 0;
        const bool grey = rgb[0] == rgb[1] && rgb[1] == rgb[2];
        EXPECT_TRUE(!grey || (table[i].cb == 128 && table[i].cr == 128)) << "entry " << i;
    }
    EXPECT_GE(exact, 100);
}

TEST(VideoName, TheExtensionChoosesTheContainerInAnyCase) {
    using enum VideoContainer;
    const std::pair<const char*, VideoContainer> cases[] = {{"show.WebM", webm},
                                                            {"a.b/show.MP4", mp4},
                                                            {"show.mp4.part", none},
                                                            {"clips.webm/mp4", none},
                                                            {"mp4", none}};
    for (const auto& [path, container] : cases)
        EXPECT_EQ(video_container_for(path), container) << "'" << path << "'";
}

// Frame k's first sample at N/D ms: rounded down, no overflow; a bad period leaves the last good.
TEST(HeadlessClock, MusicSamplesFollowTheFramePeriod) {
    const uint64_t cases[][4] = {{17, 1, 1, 749},
                                 {17, 1, 1000, 749700},
                                 {1000, 60, 1000000000000000ull, 735000000000000000ull},
                                 {65535, 1, 10000000000ull, 28900935000000000ull},
                                 {65535, 65535, 1000000000000ull, 44100000000000ull},
                                 {1, 65535, 65535ull * 1000, 44100}};
    HeadlessShow show{};
    for (const auto& [n, d, frame, sample] : cases) {
        ASSERT_EQ(headless_set_frame_period(&show, {uint32_t(n), uint32_t(d)}), 0);
        EXPECT_EQ(headless_music_sample(show, frame), sample) << n << "/" << d << " " << frame;
    }
    for (FramePeriod bad : {FramePeriod{0, 1}, FramePeriod{1, 0}, FramePeriod{65536, 1}}) {
        EXPECT_EQ(headless_set_frame_period(&show, bad), -1);
        EXPECT_EQ(show.period.ms_numerator, 1u);
    }
}

namespace fs = std::filesystem;

bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class Capture : public ::testing::Test {
   protected:
    // capture with `line` ("@" for the scratch folder) in the repository's root under a time
    // limit; `stop` sends SIGINT at the limit instead and gives capture's own exit status.
    ToolRun run(const std::string& line, int limit_s = 120, bool stop = false) const {
        return run_tool(std::string("timeout -k 5 ") + (stop ? "--preserve-status -s INT " : "") +
                            std::to_string(limit_s) + " " + shell_quoted(CAPTURE_EXE),
                        words(line, scratch_.path), ".");
    }
    ScratchDir scratch_;
};

// Frames listed with their ticks; the WAV ends with the last frame (1084 after the intro).
TEST_F(Capture, FramesListTheirTicksAndTheWavEndsWithTheLastFrame) {
    const ToolRun r = run("--out @/png --frame 1383 --wav @/music.wav");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r.out, "frame 1383  time 23.511 s  tick 920\n")) << r.out;
    EXPECT_EQ(fs::file_size(scratch_ / "music.wav"), 44u + 4u * (1084 * 17 * 44100 / 1000));
    EXPECT_TRUE(has(r.out, "wrote " + scratch_ / "music.wav" + ": 18.428 s of music")) << r.out;
}

#if CAPTURE_HAS_VIDEO

TEST_F(Capture, AStoppedVideoLeavesNoFileAndAnIgnoredHangUpStaysIgnored) {
    const ToolRun r = run("--video @/stopped.mp4 --seconds 600", 2, true);  // stopped after 2 s
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(has(r.err, "capture: interrupted: " + scratch_ / "stopped.mp4" + " not written"))
        << r.err;
    EXPECT_FALSE(fs::exists(scratch_ / "stopped.mp4"));

    // As under nohup: a hang-up sent to capture once its video file exists must not end the run.
    const std::string path = shell_quoted(scratch_ / "show.mp4");
    const std::string script = "(trap '' HUP; exec " + shell_quoted(CAPTURE_EXE) + " --video " +
                               path + " --seconds 4 >/dev/null) & pid=$!; for i in $(seq 300); " +
                               "do [ -e " + path +
                               " ] && break; sleep 0.1; done; kill -HUP $pid; " + "wait $pid";
    const ToolRun hup = run_tool("timeout -k 5 120 sh -c " + shell_quoted(script), {}, ".");
    EXPECT_EQ(hup.status, 0) << hup.err;
    EXPECT_TRUE(fs::exists(scratch_ / "show.mp4"));
}

struct Free {
    void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
    void operator()(AVFrame* f) const { av_frame_free(&f); }
    void operator()(AVPacket* p) const { av_packet_free(&p); }
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};

std::unique_ptr<AVCodecContext, Free> open_decoder(const AVStream* stream) {
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    std::unique_ptr<AVCodecContext, Free> c(avcodec_alloc_context3(codec));
    if (!c || avcodec_parameters_to_context(c.get(), stream->codecpar) < 0 ||
        avcodec_open2(c.get(), codec, nullptr) < 0)
        return nullptr;
    c->pkt_timebase = stream->time_base;
    return c;
}

TEST_F(Capture, VideosHoldEveryFrameTheMusicAndTheExactPicture) {
    // 5.5 s: the whole intro and half a second of music; frame 200 against capture's PNG.
    const ToolRun png = run("--out @/png --frame 200");
    ASSERT_EQ(png.status, 0) << png.err;
    RgbImage want;
    std::string error;
    ASSERT_TRUE(read_png_rgb(scratch_ / "png/frame_00200.png", &want, &error)) << error;
    const struct {
        const char *file, *header;
        int32_t sample_rate, encoder_frame;  // audio samples the encoder may pad the end to
    } cases[] = {{"show.mp4", "h264 aac 800x480 60 fps 44100 Hz 2 channels", 44100, 1024},
                 {"show.webm", "vp9 opus 800x480 60 fps 48000 Hz 2 channels", 48000, 960}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = scratch_ / c.file;
        const ToolRun r =
            run(std::string("--video @/") + c.file + " --wav @/music.wav --seconds 5.5");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(has(r.err, "330 of 330 frames, 5.5 of 5.5 s of show")) << r.err;
        EXPECT_TRUE(has(r.out, "wrote " + path + ": 330 frames at 60 per second")) << r.out;

        // Decoded whole: its header, every frame and sample, frame 200 as RGB as tagged.
        AVFormatContext* raw = nullptr;
        ASSERT_GE(avformat_open_input(&raw, path.c_str(), nullptr, nullptr), 0);
        const std::unique_ptr<AVFormatContext, Free> format(raw);
        ASSERT_GE(avformat_find_stream_info(raw, nullptr), 0);
        const int v = av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        const int a = av_find_best_stream(raw, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
        ASSERT_TRUE(v >= 0 && a >= 0) << "no video or no audio stream";
        const AVStream *vs = raw->streams[v], *as = raw->streams[a];
        const auto video = open_decoder(vs), audio = open_decoder(as);
        ASSERT_TRUE(video && audio);
        const int rate = as->codecpar->sample_rate, channels = as->codecpar->ch_layout.nb_channels;
        char header[160];
        std::snprintf(header, sizeof header, "%s %s %dx%d %g fps %d Hz %d channels",
                      video->codec->name, audio->codec->name, vs->codecpar->width,
                      vs->codecpar->height, av_q2d(vs->avg_frame_rate), rate, channels);
        EXPECT_STREQ(header, c.header);
        const std::unique_ptr<AVPacket, Free> packet(av_packet_alloc());
        const std::unique_ptr<AVFrame, Free> frame(av_frame_alloc());
        double video_end = 0, audio_peak = 0, first_sound = -1;  // s; 0..1; first above 1/1000
        int64_t video_frames = 0, audio_samples = 0;  // samples per channel, padding dropped
        std::vector<uint8_t> rgb;
        bool ok = true;
        const auto drain = [&](AVCodecContext* decoder) {
            for (AVFrame* f = frame.get(); avcodec_receive_frame(decoder, f) == 0;
                 av_frame_unref(f)) {
                if (decoder == video.get()) {
                    video_end =
                        std::fmax(video_end, double(f->best_effort_timestamp + f->pkt_duration) *
                                                 av_q2d(vs->time_base));
                    if (video_frames++ != 200) continue;
                    const std::unique_ptr<SwsContext, Free> scaler(sws_getContext(
                        f->width, f->height, AVPixelFormat(f->format), f->width, f->height,
                        AV_PIX_FMT_RGB24, SWS_POINT | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT,
                        nullptr, nullptr, nullptr));
                    const int* matrix = sws_getCoefficients(f->colorspace);
                    ok = ok && scaler &&
                         sws_setColorspaceDetails(scaler.get(), matrix,
                                                  f->color_range == AVCOL_RANGE_JPEG, matrix, 1, 0,
                                                  1 << 16, 1 << 16) >= 0;
                    rgb.assign(size_t(f->width) * f->height * 3, 0);
                    uint8_t* planes[1] = {rgb.data()};
                    const int strides[1] = {f->width * 3};
                    ok = ok && sws_scale(scaler.get(), f->data, f->linesize, 0, f->height, planes,
                                         strides) == f->height;
                    continue;
                }
                ok = ok && f->format == AV_SAMPLE_FMT_FLTP;  // as the AAC and Opus decoders give
                for (int i = 0; ok && i < f->nb_samples; ++i) {
                    for (int ch = 0; ch < channels; ++ch) {
                        const double level =
                            std::fabs(reinterpret_cast<float*>(f->extended_data[ch])[i]);
                        audio_peak = std::fmax(audio_peak, level);
                        if (level > 1e-3 && first_sound < 0)
                            first_sound = double(audio_samples + i) / rate;
                    }
                }
                audio_samples += f->nb_samples;
            }
        };
        while (av_read_frame(raw, packet.get()) >= 0) {
            AVCodecContext* decoder = packet->stream_index == v   ? video.get()
                                      : packet->stream_index == a ? audio.get()
                                                                  : nullptr;
            if (decoder != nullptr && avcodec_send_packet(decoder, packet.get()) >= 0)
                drain(decoder);
            av_packet_unref(packet.get());
        }
        for (AVCodecContext* decoder : {video.get(), audio.get()}) {
            avcodec_send_packet(decoder, nullptr);
            drain(decoder);
        }
        ASSERT_TRUE(ok) << "cannot convert the frame to RGB, or the sound";
        EXPECT_EQ(video_frames, 330);
        EXPECT_NEAR(video_end, 5.5, 1.0 / 60);
        // Every sample of the show is there; an encoder may pad its last frame with silence.
        const auto samples = static_cast<int64_t>(5.5 * c.sample_rate);
        EXPECT_GE(audio_samples, samples);
        EXPECT_LE(audio_samples, samples + c.encoder_frame);
        EXPECT_GT(audio_peak, 0.05) << "the music after the intro is missing";
        // The music starts after the intro's 5 s, as far into the video as into the WAV (+- 5 ms).
        const std::string wav = read_file(scratch_ / "music.wav");
        size_t at = 44;  // the first sample above 1/1000 of full scale
        while (at + 1 < wav.size() && std::abs(int16_t(uint8_t(wav[at]) | wav[at + 1] << 8)) <= 32)
            at += 2;
        const double onset = double((at - 44) / 4) / 44100;
        ASSERT_GT(onset, 0);
        EXPECT_NEAR(first_sound, 5.0 + onset, 0.005);

        // Compression noise averages out; a wrong matrix or range shifts coloured pixels one way.
        ASSERT_EQ(rgb.size(), want.rgb.size());
        double error_sum = 0, far = 0, bias[3] = {}, coloured = 0;
        for (size_t i = 0; i < rgb.size(); ++i) {
            const int d = rgb[i] - want.rgb[i];
            error_sum += std::abs(d);
            far += std::abs(d) > 32;
            const uint8_t* px = &want.rgb[i - i % 3];
            if (px[0] != px[1] || px[1] != px[2]) bias[i % 3] += d, coloured += i % 3 == 0;
        }
        EXPECT_LT(error_sum / rgb.size(), 1.0);
        EXPECT_LT(far / rgb.size(), 0.001);
        for (double b : bias)
            EXPECT_LT(std::abs(b / std::max(coloured, 1.0)), 3.0) << "a colour shift";
    }
}

#endif

}  // namespace
