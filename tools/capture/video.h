// Writes the show as a video file: the 800 x 480 picture at a fixed frame rate with its music.
// .mp4 holds H.264 and AAC, .webm holds VP9 and Opus, chosen by the file's extension.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

enum class VideoContainer { none, mp4, webm };

// The container a file name asks for by its extension (either case); none for any other.
VideoContainer video_container_for(const std::string& path);

// Empty when this build can write `container`, else why it cannot.
std::string video_unavailable(VideoContainer container);

struct VideoSettings {
    int32_t frame_width;  // the palette-index frame; the picture is twice as wide and high
    int32_t frame_height;
    int32_t frames_per_second;
    int32_t sample_rate;  // of the stereo 16-bit music handed to write_audio
};

struct VideoEncoder;

// Its messages say what failed, not in which file: the caller names the file once.
class VideoWriter {
   public:
    VideoWriter();
    ~VideoWriter();  // a file that was opened but not finished is removed
    VideoWriter(const VideoWriter&) = delete;
    VideoWriter& operator=(const VideoWriter&) = delete;

    // Sets up the encoders and creates the file. False, with a message, when it cannot.
    bool open(const std::string& path, const VideoSettings& settings, std::string* error);
    // The next frame, as palette indices (frame_width x frame_height).
    bool write_frame(const uint8_t* indices, std::string* error);
    // The next `frames` stereo frames of music.
    bool write_audio(const int16_t* samples, int32_t frames, std::string* error);
    // Drains the encoders and completes the file.
    bool finish(std::string* error);

    // "H.264 + AAC" or "VP9 + Opus", once opened.
    std::string codecs() const;

   private:
    std::unique_ptr<VideoEncoder> encoder_;
};
