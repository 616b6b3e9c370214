#include "video.h"

#include <array>
#include <cstdio>

#include "core/framebuffer.h"
#include "yuv.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace {

struct ContainerInfo {
    const char* format;  // libavformat's muxer
    const char* video_encoder;
    const char* audio_encoder;
    const char* codecs;  // as the summary names them
    int64_t audio_bit_rate;
};

const ContainerInfo& info_for(VideoContainer container) {
    static const ContainerInfo mp4{"mp4", "libx264", "aac", "H.264 + AAC", 192000};
    static const ContainerInfo webm{"webm", "libvpx-vp9", "libopus", "VP9 + Opus", 160000};
    return container == VideoContainer::webm ? webm : mp4;
}

std::string av_message(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

bool fail(std::string* error, const std::string& what, int code) {
    *error = what + ": " + av_message(code);
    return false;
}

// The encoder's sample rate: the music's own when the encoder takes it (AAC does), else the
// nearest it offers above it (Opus runs at 48000 Hz).
int choose_sample_rate(const AVCodec* codec, int wanted) {
    if (codec->supported_samplerates == nullptr) return wanted;
    int best = 0;
    for (const int* r = codec->supported_samplerates; *r != 0; ++r) {
        if (*r == wanted) return wanted;
        if (*r > wanted && (best == 0 || *r < best)) best = *r;
    }
    return best != 0 ? best : codec->supported_samplerates[0];
}

AVSampleFormat choose_sample_format(const AVCodec* codec) {
    if (codec->sample_fmts == nullptr) return AV_SAMPLE_FMT_FLTP;
    for (const AVSampleFormat* f = codec->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f) {
        if (*f == AV_SAMPLE_FMT_FLTP || *f == AV_SAMPLE_FMT_FLT) return *f;
    }
    return codec->sample_fmts[0];
}

}  // namespace

struct VideoEncoder {
    std::string path;
    VideoContainer container = VideoContainer::none;
    VideoSettings settings{};
    std::array<Ycc, 256> table{};

    AVFormatContext* format = nullptr;
    AVCodecContext* video = nullptr;
    AVCodecContext* audio = nullptr;
    AVStream* video_stream = nullptr;
    AVStream* audio_stream = nullptr;
    SwrContext* resampler = nullptr;
    AVAudioFifo* fifo = nullptr;
    AVFrame* picture = nullptr;
    AVFrame* sound = nullptr;
    AVPacket* packet = nullptr;
    int audio_frame_size = 0;
    int64_t video_pts = 0;
    int64_t audio_pts = 0;
    bool file_created = false;
    bool finished = false;

    ~VideoEncoder() {
        av_packet_free(&packet);
        av_frame_free(&sound);
        av_frame_free(&picture);
        if (fifo != nullptr) av_audio_fifo_free(fifo);
        swr_free(&resampler);
        avcodec_free_context(&audio);
        avcodec_free_context(&video);
        if (format != nullptr) {
            if (format->pb != nullptr) avio_closep(&format->pb);
            avformat_free_context(format);
        }
        // A file cut short is no video; leave nothing that looks like one.
        if (file_created && !finished) std::remove(path.c_str());
    }

    // Sends `frame` (null: drain) to `codec` and writes every packet it gives back.
    bool encode(AVCodecContext* codec, AVStream* stream, AVFrame* frame, std::string* error) {
        int status = avcodec_send_frame(codec, frame);
        if (status < 0) return fail(error, "cannot encode", status);
        for (;;) {
            status = avcodec_receive_packet(codec, packet);
            if (status == AVERROR(EAGAIN) || status == AVERROR_EOF) return true;
            if (status < 0) return fail(error, "cannot encode", status);
            av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            status = av_interleaved_write_frame(format, packet);
            if (status < 0) return fail(error, "cannot write", status);
        }
    }

    // Encodes `count` samples from the FIFO, padded with silence to a whole frame when the
    // encoder cannot take a short one.
    bool encode_audio(int count, std::string* error) {
        int status = av_frame_make_writable(sound);
        if (status < 0) return fail(error, "out of memory", status);
        const int read = av_audio_fifo_read(fifo, reinterpret_cast<void**>(sound->data), count);
        if (read != count) return fail(error, "cannot read the music back", AVERROR_BUG);
        int samples = count;
        const bool short_ok =
            (audio->codec->capabilities &
             (AV_CODEC_CAP_SMALL_LAST_FRAME | AV_CODEC_CAP_VARIABLE_FRAME_SIZE)) != 0;
        if (count < audio_frame_size && !short_ok) {
            av_samples_set_silence(sound->data, count, audio_frame_size - count, 2,
                                   audio->sample_fmt);
            samples = audio_frame_size;
        }
        sound->nb_samples = samples;
        sound->pts = audio_pts;
        audio_pts += samples;
        return encode(audio, audio_stream, sound, error);
    }

    // Resamples `frames` stereo frames (null: what the resampler still holds) into the FIFO
    // and encodes every whole encoder frame gathered.
    bool push_audio(const int16_t* samples, int32_t frames, std::string* error) {
        const int room = swr_get_out_samples(resampler, frames);
        if (room < 0) return fail(error, "cannot resample the music", room);
        uint8_t** converted = nullptr;
        int status = av_samples_alloc_array_and_samples(&converted, nullptr, 2, room + 1,
                                                        audio->sample_fmt, 0);
        if (status < 0) return fail(error, "out of memory", status);
        const auto* in = reinterpret_cast<const uint8_t*>(samples);
        const int got =
            swr_convert(resampler, converted, room + 1, samples != nullptr ? &in : nullptr,
                        samples != nullptr ? frames : 0);
        status =
            got < 0 ? got : av_audio_fifo_write(fifo, reinterpret_cast<void**>(converted), got);
        av_freep(&converted[0]);
        av_freep(&converted);
        if (status < 0) return fail(error, "cannot resample the music", status);
        while (av_audio_fifo_size(fifo) >= audio_frame_size) {
            if (!encode_audio(audio_frame_size, error)) return false;
        }
        return true;
    }

    bool open_video(std::string* error) {
        const ContainerInfo& info = info_for(container);
        const AVCodec* codec = avcodec_find_encoder_by_name(info.video_encoder);
        if (codec == nullptr) {
            *error = std::string("this FFmpeg has no ") + info.video_encoder + " encoder";
            return false;
        }
        video = avcodec_alloc_context3(codec);
        if (video == nullptr) return fail(error, "out of memory", AVERROR(ENOMEM));
        video->width = 2 * settings.frame_width;
        video->height = 2 * settings.frame_height;
        video->sample_aspect_ratio = AVRational{1, 1};
        video->time_base = AVRational{1, settings.frames_per_second};
        video->framerate = AVRational{settings.frames_per_second, 1};
        video->gop_size = 2 * settings.frames_per_second;  // a key frame every 2 s, for seeking
        video->pix_fmt = AV_PIX_FMT_YUV420P;
        // Tagged so that players decode with the matrix and range the palette was converted
        // with; chroma samples sit at the centres of the 2 x 2 blocks they stand for.
        video->color_range = AVCOL_RANGE_MPEG;
        video->colorspace = AVCOL_SPC_BT709;
        video->color_primaries = AVCOL_PRI_BT709;
        video->color_trc = AVCOL_TRC_BT709;
        video->chroma_sample_location = AVCHROMA_LOC_CENTER;
        if (format->oformat->flags & AVFMT_GLOBALHEADER)
            video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        AVDictionary* options = nullptr;
        if (container == VideoContainer::mp4) {
            // Hard-edged pixels and flat colours: a low constant-quality factor keeps the
            // edges clean; slower presets gain little on this picture.
            av_dict_set(&options, "preset", "veryfast", 0);
            av_dict_set(&options, "crf", "16", 0);
        } else {
            video->bit_rate = 0;  // constant quality
            // libvpx's "good" modes run at half real time here for no visible gain on this
            // picture; its real-time mode at speed 7 and quality 28 matches the H.264 stream's
            // size and its error on the intro (a fraction of a level on average).
            av_dict_set(&options, "crf", "28", 0);
            av_dict_set(&options, "deadline", "realtime", 0);
            av_dict_set(&options, "cpu-used", "7", 0);
            av_dict_set(&options, "tile-columns", "1", 0);
            av_dict_set(&options, "row-mt", "1", 0);
        }
        int status = avcodec_open2(video, codec, &options);
        av_dict_free(&options);
        if (status < 0)
            return fail(error, std::string("cannot start ") + info.video_encoder, status);
        video_stream = avformat_new_stream(format, nullptr);
        if (video_stream == nullptr) return fail(error, "out of memory", AVERROR(ENOMEM));
        status = avcodec_parameters_from_context(video_stream->codecpar, video);
        if (status < 0) return fail(error, "cannot set up the video stream", status);
        video_stream->time_base = video->time_base;
        video_stream->avg_frame_rate = video->framerate;
        video_stream->r_frame_rate = video->framerate;

        picture = av_frame_alloc();
        if (picture == nullptr) return fail(error, "out of memory", AVERROR(ENOMEM));
        picture->format = video->pix_fmt;
        picture->width = video->width;
        picture->height = video->height;
        picture->color_range = video->color_range;
        picture->colorspace = video->colorspace;
        picture->color_primaries = video->color_primaries;
        picture->color_trc = video->color_trc;
        picture->chroma_location = video->chroma_sample_location;
        status = av_frame_get_buffer(picture, 0);
        if (status < 0) return fail(error, "out of memory", status);
        return true;
    }

    bool open_audio(std::string* error) {
        const ContainerInfo& info = info_for(container);
        const AVCodec* codec = avcodec_find_encoder_by_name(info.audio_encoder);
        if (codec == nullptr) {
            *error = std::string("this FFmpeg has no ") + info.audio_encoder + " encoder";
            return false;
        }
        audio = avcodec_alloc_context3(codec);
        if (audio == nullptr) return fail(error, "out of memory", AVERROR(ENOMEM));
        audio->sample_rate = choose_sample_rate(codec, settings.sample_rate);
        audio->sample_fmt = choose_sample_format(codec);
        AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
        int status = av_channel_layout_copy(&audio->ch_layout, &stereo);
        if (status < 0) return fail(error, "out of memory", status);
        audio->bit_rate = info.audio_bit_rate;
        audio->time_base = AVRational{1, audio->sample_rate};
        if (format->oformat->flags & AVFMT_GLOBALHEADER)
            audio->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        status = avcodec_open2(audio, codec, nullptr);
        if (status < 0)
            return fail(error, std::string("cannot start ") + info.audio_encoder, status);
        audio_frame_size = audio->frame_size > 0 ? audio->frame_size : 1024;
        audio_stream = avformat_new_stream(format, nullptr);
        if (audio_stream == nullptr) return fail(error, "out of memory", AVERROR(ENOMEM));
        status = avcodec_parameters_from_context(audio_stream->codecpar, audio);
        if (status < 0) return fail(error, "cannot set up the audio stream", status);
        audio_stream->time_base = audio->time_base;

        status = swr_alloc_set_opts2(&resampler, &audio->ch_layout, audio->sample_fmt,
                                     audio->sample_rate, &stereo, AV_SAMPLE_FMT_S16,
                                     settings.sample_rate, 0, nullptr);
        if (status < 0 || (status = swr_init(resampler)) < 0)
            return fail(error, "cannot set up the resampler", status);
        fifo = av_audio_fifo_alloc(audio->sample_fmt, 2, audio_frame_size);
        sound = av_frame_alloc();
        if (fifo == nullptr || sound == nullptr)
            return fail(error, "out of memory", AVERROR(ENOMEM));
        sound->format = audio->sample_fmt;
        sound->sample_rate = audio->sample_rate;
        sound->nb_samples = audio_frame_size;
        status = av_channel_layout_copy(&sound->ch_layout, &stereo);
        if (status >= 0) status = av_frame_get_buffer(sound, 0);
        if (status < 0) return fail(error, "out of memory", status);
        return true;
    }
};

std::string video_unavailable(VideoContainer container) {
    if (container == VideoContainer::none) return "the file name must end in .mp4 or .webm";
    const ContainerInfo& info = info_for(container);
    for (const char* name : {info.video_encoder, info.audio_encoder}) {
        if (avcodec_find_encoder_by_name(name) == nullptr)
            return std::string("this FFmpeg has no ") + name + " encoder";
    }
    if (av_guess_format(info.format, nullptr, nullptr) == nullptr)
        return std::string("this FFmpeg cannot write ") + info.format + " files";
    return "";
}

VideoWriter::VideoWriter() = default;
VideoWriter::~VideoWriter() = default;

bool VideoWriter::open(const std::string& path, const VideoSettings& settings, std::string* error) {
    // The encoders' chatter would bury the progress line; their errors still come through.
    av_log_set_level(AV_LOG_ERROR);
    encoder_ = std::make_unique<VideoEncoder>();
    VideoEncoder& e = *encoder_;
    e.path = path;
    e.container = video_container_for(path);
    e.settings = settings;
    e.table = ycc_palette(palette);
    const std::string why = video_unavailable(e.container);
    if (!why.empty()) {
        *error = why;
        return false;
    }
    int status = avformat_alloc_output_context2(&e.format, nullptr, info_for(e.container).format,
                                                path.c_str());
    if (status < 0) return fail(error, "cannot set up the container", status);
    e.packet = av_packet_alloc();
    if (e.packet == nullptr) return fail(error, "out of memory", AVERROR(ENOMEM));
    if (!e.open_video(error) || !e.open_audio(error)) return false;

    status = avio_open(&e.format->pb, path.c_str(), AVIO_FLAG_WRITE);
    if (status < 0) return fail(error, "cannot create", status);
    e.file_created = true;
    AVDictionary* options = nullptr;
    // The index goes first, so a player can start before the whole file has arrived.
    if (e.container == VideoContainer::mp4) av_dict_set(&options, "movflags", "+faststart", 0);
    status = avformat_write_header(e.format, &options);
    av_dict_free(&options);
    if (status < 0) return fail(error, "cannot write", status);
    return true;
}

bool VideoWriter::write_frame(const uint8_t* indices, std::string* error) {
    VideoEncoder& e = *encoder_;
    const int status = av_frame_make_writable(e.picture);
    if (status < 0) return fail(error, "out of memory", status);
    AVFrame* p = e.picture;
    frame_to_yuv420(indices, e.settings.frame_width, e.settings.frame_height, e.table, p->data[0],
                    p->linesize[0], p->data[1], p->linesize[1], p->data[2], p->linesize[2]);
    p->pts = e.video_pts++;
    return e.encode(e.video, e.video_stream, p, error);
}

bool VideoWriter::write_audio(const int16_t* samples, int32_t frames, std::string* error) {
    if (frames <= 0) return true;
    return encoder_->push_audio(samples, frames, error);
}

bool VideoWriter::finish(std::string* error) {
    VideoEncoder& e = *encoder_;
    if (!e.push_audio(nullptr, 0, error)) return false;
    const int left = av_audio_fifo_size(e.fifo);
    if (left > 0 && !e.encode_audio(left, error)) return false;
    if (!e.encode(e.audio, e.audio_stream, nullptr, error)) return false;
    if (!e.encode(e.video, e.video_stream, nullptr, error)) return false;
    int status = av_write_trailer(e.format);
    if (status < 0) return fail(error, "cannot finish", status);
    status = avio_closep(&e.format->pb);
    if (status < 0) return fail(error, "cannot write", status);
    e.finished = true;
    return true;
}

std::string VideoWriter::codecs() const {
    if (!encoder_ || encoder_->audio == nullptr) return "";
    char text[160];
    std::snprintf(text, sizeof text, "%s (%d x %d, 4:2:0, BT.709; %d Hz stereo)",
                  info_for(encoder_->container).codecs, encoder_->video->width,
                  encoder_->video->height, encoder_->audio->sample_rate);
    return text;
}
