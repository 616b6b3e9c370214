// capture without FFmpeg's libraries: everything but --video works.
#include "video.h"

struct VideoEncoder {};

std::string video_unavailable(VideoContainer) {
    return "this capture was built without FFmpeg's libraries (install libavformat-dev, "
           "libavcodec-dev, libswresample-dev and libswscale-dev, then build again)";
}

VideoWriter::VideoWriter() = default;
VideoWriter::~VideoWriter() = default;

bool VideoWriter::open(const std::string&, const VideoSettings&, std::string* error) {
    *error = video_unavailable(VideoContainer::none);
    return false;
}

bool VideoWriter::write_frame(const uint8_t*, std::string*) {
    return false;
}

bool VideoWriter::write_audio(const int16_t*, int32_t, std::string*) {
    return false;
}

bool VideoWriter::finish(std::string*) {
    return false;
}

std::string VideoWriter::codecs() const {
    return "";
}
