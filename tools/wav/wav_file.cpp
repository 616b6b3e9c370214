#include "wav_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

namespace {

// A WAV file's 32-bit sizes describe at most 4 GB of samples (about 6.7 hours here).
constexpr uint64_t MAX_DATA_BYTES = 0xFFFFFFFFull - 36;
constexpr uint32_t FRAME_BYTES = 4;  // two 16-bit channels

void put_le(uint8_t* at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

std::array<uint8_t, 44> header(int32_t sample_rate, uint32_t data_bytes) {
    std::array<uint8_t, 44> h{};
    std::memcpy(h.data(), "RIFF", 4);
    put_le(h.data() + 4, 36 + data_bytes, 4);
    std::memcpy(h.data() + 8, "WAVEfmt ", 8);
    put_le(h.data() + 16, 16, 4);
    put_le(h.data() + 20, 1, 2);  // PCM
    put_le(h.data() + 22, 2, 2);  // stereo
    put_le(h.data() + 24, static_cast<uint32_t>(sample_rate), 4);
    put_le(h.data() + 28, static_cast<uint32_t>(sample_rate) * FRAME_BYTES, 4);
    put_le(h.data() + 32, FRAME_BYTES, 2);
    put_le(h.data() + 34, 16, 2);  // bits per sample
    std::memcpy(h.data() + 36, "data", 4);
    put_le(h.data() + 40, data_bytes, 4);
    return h;
}

}  // namespace

WavFile::~WavFile() {
    if (file_ != nullptr) std::fclose(file_);
    if (regular_ && !finished_) std::remove(path_.c_str());
}

bool WavFile::fail(std::string* error, const char* what, int reason) {
    *error = path_ + ": " + what + ": " + std::strerror(reason);
    return false;
}

bool WavFile::write_header(uint64_t frames) {
    const auto h =
        header(sample_rate_, static_cast<uint32_t>(std::min(frames * FRAME_BYTES, MAX_DATA_BYTES)));
    return std::fwrite(h.data(), h.size(), 1, file_) == 1;
}

bool WavFile::open(const std::string& path, int32_t sample_rate, uint64_t promised_frames,
                   std::string* error) {
    path_ = path;
    sample_rate_ = sample_rate;
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) return fail(error, "cannot create", errno);
    struct stat st {};
    regular_ = fstat(fileno(file_), &st) == 0 && S_ISREG(st.st_mode);
    seekable_ = regular_ && std::ftell(file_) == 0;
    if (!write_header(seekable_ ? 0 : promised_frames)) return fail(error, "writing failed", errno);
    return true;
}

bool WavFile::append(const int16_t* samples, int32_t frames, std::string* error) {
    if ((frames_ + static_cast<uint64_t>(frames)) * FRAME_BYTES > MAX_DATA_BYTES) {
        *error = path_ + ": more music than a WAV file can hold";
        return false;
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(frames) * FRAME_BYTES);
    for (size_t i = 0; i < bytes.size() / 2; ++i) {
        put_le(bytes.data() + 2 * i, static_cast<uint16_t>(samples[i]), 2);
    }
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
        return fail(error, "writing failed", errno);
    frames_ += static_cast<uint64_t>(frames);
    // The header follows the data: however the run ends, the file says what it holds.
    if (seekable_ && (std::fseek(file_, 0, SEEK_SET) != 0 || !write_header(frames_) ||
                      std::fseek(file_, 0, SEEK_END) != 0))
        return fail(error, "writing failed", errno);
    return true;
}

bool WavFile::finish(std::string* error) {
    std::FILE* file = file_;
    file_ = nullptr;
    if (std::fflush(file) != 0) {
        const int reason = errno;
        std::fclose(file);
        return fail(error, "writing failed", reason);
    }
    if (std::fclose(file) != 0) return fail(error, "writing failed", errno);
    finished_ = true;
    return true;
}
