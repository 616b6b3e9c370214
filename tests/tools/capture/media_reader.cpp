#include "media_reader.h"

#include <cmath>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace {

struct Closer {
    void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
    void operator()(AVFrame* f) const { av_frame_free(&f); }
    void operator()(AVPacket* p) const { av_packet_free(&p); }
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};
template <typename T>
using Owned = std::unique_ptr<T, Closer>;

Owned<AVCodecContext> open_decoder(const AVStream* stream) {
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    Owned<AVCodecContext> context(codec != nullptr ? avcodec_alloc_context3(codec) : nullptr);
    if (!context || avcodec_parameters_to_context(context.get(), stream->codecpar) < 0 ||
        avcodec_open2(context.get(), codec, nullptr) < 0)
        return nullptr;
    context->pkt_timebase = stream->time_base;
    return context;
}

// The picture as 8-bit RGB, decoded with the matrix and range the stream is tagged with.
bool to_rgb(const AVFrame* frame, std::vector<uint8_t>* rgb) {
    Owned<SwsContext> scaler(sws_getContext(
        frame->width, frame->height, static_cast<AVPixelFormat>(frame->format), frame->width,
        frame->height, AV_PIX_FMT_RGB24, SWS_POINT | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr,
        nullptr, nullptr));
    if (!scaler) return false;
    const int* coefficients = sws_getCoefficients(frame->colorspace);
    sws_setColorspaceDetails(scaler.get(), coefficients, frame->color_range == AVCOL_RANGE_JPEG,
                             coefficients, 1, 0, 1 << 16, 1 << 16);
    rgb->assign(static_cast<size_t>(frame->width) * frame->height * 3, 0);
    uint8_t* planes[1] = {rgb->data()};
    const int strides[1] = {frame->width * 3};
    return sws_scale(scaler.get(), frame->data, frame->linesize, 0, frame->height, planes,
                     strides) == frame->height;
}

}  // namespace

bool read_media(const std::string& path, int64_t wanted, MediaFacts* facts, std::string* error) {
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) {
        *error = "cannot open " + path;
        return false;
    }
    Owned<AVFormatContext> format(raw);
    const bool read = avformat_find_stream_info(format.get(), nullptr) >= 0;
    const int v =
        read ? av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0) : -1;
    const int a =
        read ? av_find_best_stream(format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0) : -1;
    if (v < 0 || a < 0) {
        *error = path + " lacks a video or an audio stream";
        return false;
    }
    const AVStream* vs = format->streams[v];
    const AVStream* as = format->streams[a];
    Owned<AVCodecContext> video = open_decoder(vs), audio = open_decoder(as);
    if (!video || !audio) {
        *error = "cannot decode " + path;
        return false;
    }
    facts->video_codec = video->codec->name;
    facts->audio_codec = audio->codec->name;
    facts->width = vs->codecpar->width;
    facts->height = vs->codecpar->height;
    facts->frame_rate = av_q2d(vs->avg_frame_rate);
    facts->sample_rate = as->codecpar->sample_rate;
    facts->channels = as->codecpar->ch_layout.nb_channels;

    Owned<AVPacket> packet(av_packet_alloc());
    Owned<AVFrame> frame(av_frame_alloc());
    bool ok = true;
    auto drain = [&](AVCodecContext* decoder) {
        while (avcodec_receive_frame(decoder, frame.get()) == 0) {
            if (decoder == video.get()) {
                if (facts->video_frames++ == wanted) ok = to_rgb(frame.get(), &facts->rgb);
                facts->video_end = std::fmax(
                    facts->video_end,
                    static_cast<double>(frame->best_effort_timestamp + frame->pkt_duration) *
                        av_q2d(vs->time_base));
            } else {
                // Planar floats, as the AAC and Opus decoders give them.
                ok = ok && frame->format == AV_SAMPLE_FMT_FLTP;
                for (int i = 0; ok && i < frame->nb_samples; ++i) {
                    for (int c = 0; c < facts->channels; ++c) {
                        const double level =
                            std::fabs(reinterpret_cast<const float*>(frame->extended_data[c])[i]);
                        facts->audio_peak = std::fmax(facts->audio_peak, level);
                        if (level > 1e-3 && facts->first_sound < 0)
                            facts->first_sound =
                                static_cast<double>(facts->audio_samples + i) / facts->sample_rate;
                    }
                }
                facts->audio_samples += frame->nb_samples;
            }
            av_frame_unref(frame.get());
        }
    };
    while (av_read_frame(format.get(), packet.get()) >= 0) {
        AVCodecContext* decoder = packet->stream_index == v   ? video.get()
                                  : packet->stream_index == a ? audio.get()
                                                              : nullptr;
        if (decoder != nullptr && avcodec_send_packet(decoder, packet.get()) >= 0) drain(decoder);
        av_packet_unref(packet.get());
    }
    for (AVCodecContext* decoder : {video.get(), audio.get()}) {
        avcodec_send_packet(decoder, nullptr);
        drain(decoder);
    }
    if (!ok) *error = "cannot convert frame " + std::to_string(wanted) + " to RGB, or the sound";
    return ok;
}
