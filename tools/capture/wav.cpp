#include "wav.h"

#include <array>
#include <cerrno>
#include <cstring>

namespace {

// 4 GB is the most a WAV file's 32-bit sizes can describe (about 6.7 hours here).
constexpr uint64_t kMaxDataBytes = 0xFFFFFFFFull - 36;

using Header = std::array<uint8_t, 44>;

void put(Header* h, size_t at, const char* text) {
    std::memcpy(h->data() + at, text, 4);
}

void put_le(Header* h, size_t at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) (*h)[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

Header header(int32_t sample_rate, uint32_t data_bytes) {
    Header h{};
    put(&h, 0, "RIFF");
    put_le(&h, 4, 36 + data_bytes, 4);
    put(&h, 8, "WAVE");
    put(&h, 12, "fmt ");
    put_le(&h, 16, 16, 4);
    put_le(&h, 20, 1, 2);  // PCM
    put_le(&h, 22, 2, 2);  // stereo
    put_le(&h, 24, static_cast<uint32_t>(sample_rate), 4);
    put_le(&h, 28, static_cast<uint32_t>(sample_rate) * 4, 4);
    put_le(&h, 32, 4, 2);   // bytes per stereo frame
    put_le(&h, 34, 16, 2);  // bits per sample
    put(&h, 36, "data");
    put_le(&h, 40, data_bytes, 4);
    return h;
}

bool write_error(const std::string& path, std::string* error) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
}

}  // namespace

WavWriter::~WavWriter() {
    if (file_ != nullptr) std::fclose(file_);
    if (!path_.empty() && !finished_) std::remove(path_.c_str());
}

bool WavWriter::open(const std::string& path, int32_t sample_rate, std::string* error) {
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) {
        *error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    path_ = path;
    sample_rate_ = sample_rate;
    const Header h = header(sample_rate, 0);
    if (std::fwrite(h.data(), 1, h.size(), file_) != h.size()) return write_error(path_, error);
    return true;
}

bool WavWriter::append(const int16_t* samples, int32_t frames, std::string* error) {
    const uint64_t bytes = static_cast<uint64_t>(frames) * 4;
    if (data_bytes_ + bytes > kMaxDataBytes) {
        *error = path_ + ": more music than a WAV file can hold";
        return false;
    }
    // Samples are written in the machine's order, which is the little-endian order of WAV.
    const size_t count = static_cast<size_t>(frames) * 2;
    if (std::fwrite(samples, 2, count, file_) != count) return write_error(path_, error);
    data_bytes_ += bytes;
    return true;
}

bool WavWriter::finish(std::string* error) {
    const Header h = header(sample_rate_, static_cast<uint32_t>(data_bytes_));
    if (std::fseek(file_, 0, SEEK_SET) != 0 ||
        std::fwrite(h.data(), 1, h.size(), file_) != h.size())
        return write_error(path_, error);
    const int closed = std::fclose(file_);
    file_ = nullptr;
    if (closed != 0) return write_error(path_, error);
    finished_ = true;
    return true;
}
