// A 16-bit stereo WAV file written as the music is rendered: the header's sizes are filled in
// when it is finished, so an hour of music never sits in memory.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

class WavWriter {
   public:
    WavWriter() = default;
    ~WavWriter();  // a file that was opened but not finished is removed
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    bool open(const std::string& path, int32_t sample_rate, std::string* error);
    // `frames` interleaved stereo frames.
    bool append(const int16_t* samples, int32_t frames, std::string* error);
    bool finish(std::string* error);

   private:
    std::string path_;
    std::FILE* file_ = nullptr;
    int32_t sample_rate_ = 0;
    uint64_t data_bytes_ = 0;
    bool finished_ = false;
};
