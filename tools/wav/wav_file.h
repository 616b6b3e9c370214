// A 16-bit stereo WAV file written as music is rendered, for the tools that save music. Where the
// file can seek, its header describes the frames written so far after every append, so a run
// stopped at any point (a signal, a full disk) leaves a file that says what it holds; on a pipe
// or a device the header promises the frames given when it is opened. A regular file that is
// not finished is removed; a device, a pipe or what a link names is left alone.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

class WavFile {
   public:
    WavFile() = default;
    ~WavFile();
    WavFile(const WavFile&) = delete;
    WavFile& operator=(const WavFile&) = delete;

    // Creates the file and writes its header. Errors read "PATH: cannot create: REASON".
    bool open(const std::string& path, int32_t sample_rate, uint64_t promised_frames,
              std::string* error);
    // Adds `frames` interleaved stereo frames, stored little-endian whatever the machine. Errors
    // read "PATH: writing failed: REASON".
    bool append(const int16_t* samples, int32_t frames, std::string* error);
    // Writes the last bytes and closes the file; a full disk may show only here.
    bool finish(std::string* error);

   private:
    bool fail(std::string* error, const char* what, int reason);
    bool write_header(uint64_t frames);

    std::string path_;
    std::FILE* file_ = nullptr;
    int32_t sample_rate_ = 0;
    uint64_t frames_ = 0;
    bool seekable_ = false;
    bool regular_ = false;
    bool finished_ = false;
};
