// Small module images for the music tests, and a player that owns the image it reads.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "music/module.h"
#include "util/recorded.h"

struct TestSample {
    std::vector<int8_t> data;
    uint8_t volume = 64, finetune = 0;
    uint32_t loop_start = 0, loop_length = 0;  // bytes (even)
};

// `length` bytes of value v, looping over all of them unless `loop` is false.
inline TestSample flat_sample(size_t length, int8_t v, uint8_t volume = 64, bool loop = true) {
    return {std::vector<int8_t>(length, v), volume, 0, 0, loop ? uint32_t(length) : 0};
}

class ModBuilder {
   public:
    explicit ModBuilder(int patterns = 1) : image_(MOD_HEADER_SIZE + MOD_PATTERN_SIZE * patterns) {
        signature("M.K.").song_length(1);
    }
    ModBuilder& signature(const char* sig) { return put(1080, {sig[0], sig[1], sig[2], sig[3]}); }
    ModBuilder& song_length(int n) { return put(950, {n}); }
    ModBuilder& order(int i, int pattern) { return put(952 + i, {pattern}); }
    // One cell: sample number, period, effect (command << 8 | parameter).
    ModBuilder& cell(int pattern, int row, int channel, int sample, int period, int effect) {
        return put(1084 + pattern * 1024 + row * 16 + channel * 4,
                   {(sample & 0xF0) | (period >> 8), period, ((sample & 0x0F) << 4) | (effect >> 8),
                    effect});
    }
    // Sample 1..31; the header's length is the data's unless `declared_words` says otherwise.
    ModBuilder& sample(int number, const TestSample& s, int declared_words = -1) {
        const int words = declared_words >= 0 ? declared_words : int(s.data.size() / 2);
        const int at = 20 + 30 * (number - 1) + 22, start = int(s.loop_start / 2),
                  length = int(s.loop_length / 2);
        put(at, {words >> 8, words, s.finetune, s.volume, start >> 8, start, length >> 8, length});
        data_[size_t(number - 1)] = s.data;
        return *this;
    }
    std::vector<uint8_t> build() const {
        std::vector<uint8_t> image = image_;
        for (const auto& d : data_) image.insert(image.end(), d.begin(), d.end());
        return image;
    }

   private:
    ModBuilder& put(int at, std::initializer_list<int> bytes) {
        for (int b : bytes) image_[size_t(at++)] = uint8_t(b);
        return *this;
    }
    std::vector<uint8_t> image_;
    std::array<std::vector<int8_t>, MOD_SAMPLES> data_;
};

// A player with the image it reads; without ramping unless asked, so that the exact arithmetic
// is what is checked.
struct TestPlayer {
    std::vector<uint8_t> image;
    std::unique_ptr<ModPlayer, void (*)(ModPlayer*)> player{nullptr, player_free};
    explicit TestPlayer(std::vector<uint8_t> bytes, uint16_t rate = 44100, bool ramping = false)
        : image(std::move(bytes)) {
        player.reset(player_create(rate, image.data(), uint32_t(image.size())));
        if (player) player_set_ramping(player.get(), ramping);
    }
    ModPlayer* operator->() const { return player.get(); }
    ModPlayer* get() const { return player.get(); }
};

// The hash of the 16-bit (or 8-bit) values of `frames` frames, rendered in buffers of `buffer`
// frames (at most 4410), or if 0 in pieces of 1 to 4096 frames. Its start value is the one the
// recorded hashes were taken with.
inline uint64_t output_hash(ModPlayer* p, int32_t frames, int32_t buffer, bool u8 = false) {
    Hash hash{1469598103934665603u};
    std::vector<int16_t> s16(2 * 4410);
    std::vector<uint8_t> b8(2 * 4410);
    for (int32_t done = 0, n = buffer ? buffer : 1; done < frames;
         done += n, n = buffer ? buffer : n % 4000 + 97) {
        n = std::min(n, frames - done);
        u8 ? player_render_u8(p, b8.data(), n) : player_render_s16(p, s16.data(), n);
        for (int i = 0; i < 2 * n; ++i) hash.word(u8 ? b8[i] : uint16_t(s16[i]));
    }
    return hash.value;
}
