// Reads a video file back with FFmpeg's libraries, for the tests of capture --video: what the
// container says, every frame and sample the decoders give, and one chosen frame as RGB.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct MediaFacts {
    std::string video_codec, audio_codec;  // decoder names: "h264", "vp9", "aac", "opus"
    int32_t width = 0, height = 0;
    double frame_rate = 0;     // the video stream's average rate
    int64_t video_frames = 0;  // decoded
    double video_end = 0;      // seconds: the last frame's time plus its duration
    int32_t sample_rate = 0, channels = 0;
    int64_t audio_samples = 0;  // decoded per channel, after the encoder's start-up padding
    double audio_peak = 0;      // largest absolute sample, 0..1
    double first_sound = -1;    // seconds to the first sample above 1/1000; -1: none
    std::vector<uint8_t> rgb;   // the frame asked for, width x height x 3, when it was found
};

// Decodes all of `path`; `frame` (counted from 0) is converted to RGB. False, with a message.
bool read_media(const std::string& path, int64_t frame, MediaFacts* facts, std::string* error);
