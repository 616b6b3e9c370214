// Builds small module images for the music tests: a 1084-byte header, the patterns and the
// sample data, with every field settable.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "music/module.h"
#include "music/samples.h"
#include "music/sequencer.h"

struct TestSample {
    std::vector<int8_t> data;
    uint8_t volume = 64;
    uint8_t finetune = 0;      // the whole byte as stored
    uint32_t loop_start = 0;   // bytes (even)
    uint32_t loop_length = 0;  // bytes (even)
    std::string name;
};

class ModBuilder {
   public:
    explicit ModBuilder(int patterns = 1)
        : patterns_(static_cast<size_t>(patterns) * MOD_PATTERN_SIZE) {
        signature("M.K.");
        header_[950] = 1;
    }
    ModBuilder& signature(const char* sig) { return put(1080, sig, 4); }
    ModBuilder& song_length(uint8_t n) { return put(950, &n, 1); }
    ModBuilder& order(int i, uint8_t pattern) { return put(952 + i, &pattern, 1); }
    // One cell: sample number, period, effect (command << 8 | parameter).
    ModBuilder& cell(int pattern, int row, int channel, uint8_t sample, uint16_t period,
                     uint16_t effect) {
        uint8_t* b = patterns_.data() + pattern * MOD_PATTERN_SIZE + row * 16 + channel * 4;
        b[0] = static_cast<uint8_t>((sample & 0xF0) | ((period >> 8) & 0x0F));
        b[1] = static_cast<uint8_t>(period);
        b[2] = static_cast<uint8_t>(((sample & 0x0F) << 4) | ((effect >> 8) & 0x0F));
        b[3] = static_cast<uint8_t>(effect);
        return *this;
    }
    // Sample number 1..31. The header's length is the data's, unless `declared_words` says more.
    ModBuilder& sample(int number, const TestSample& s, int declared_words = -1) {
        uint8_t* h = header_.data() + 20 + 30 * (number - 1);
        std::memcpy(h, s.name.data(), std::min<size_t>(22, s.name.size()));
        put_word(h + 22, declared_words >= 0 ? static_cast<uint32_t>(declared_words)
                                             : static_cast<uint32_t>(s.data.size() / 2));
        h[24] = s.finetune;
        h[25] = s.volume;
        put_word(h + 26, s.loop_start / 2);
        put_word(h + 28, s.loop_length / 2);
        data_[number - 1] = s.data;
        return *this;
    }
    std::vector<uint8_t> build() const {
        std::vector<uint8_t> image(header_.begin(), header_.end());
        image.insert(image.end(), patterns_.begin(), patterns_.end());
        for (const auto& d : data_) image.insert(image.end(), d.begin(), d.end());
        return image;
    }

   private:
    ModBuilder& put(size_t at, const void* bytes, size_t n) {
        std::memcpy(header_.data() + at, bytes, n);
        return *this;
    }
    static void put_word(uint8_t* p, uint32_t words) {
        p[0] = static_cast<uint8_t>(words >> 8);
        p[1] = static_cast<uint8_t>(words);
    }
    std::array<uint8_t, MOD_HEADER_SIZE> header_{};
    std::vector<uint8_t> patterns_;
    std::array<std::vector<int8_t>, MOD_SAMPLES> data_;
};

// A player together with the image it reads from; without ramping unless asked, so that the
// exact arithmetic is what is checked.
struct TestPlayer {
    std::vector<uint8_t> image;
    std::unique_ptr<ModPlayer, void (*)(ModPlayer*)> player{nullptr, player_free};

    explicit TestPlayer(std::vector<uint8_t> bytes, uint16_t rate = 44100, bool ramping = false)
        : image(std::move(bytes)) {
        player.reset(player_create(rate, image.data(), static_cast<uint32_t>(image.size())));
        if (player) player_set_ramping(player.get(), ramping);
    }
    ModPlayer* operator->() const { return player.get(); }
    ModPlayer* get() const { return player.get(); }
};

// Advances n ticks the way player_render does at tick boundaries, without mixing.
inline void run_ticks(ModPlayer* p, int n) {
    for (int i = 0; i < n; ++i) player_end_tick(p);
}

// A sample of `length` bytes all of value v, looping over all of it unless `loop` is false.
inline TestSample flat_sample(size_t length, int8_t v, uint8_t volume = 64, bool loop = true) {
    TestSample s;
    s.data.assign(length, v);
    s.volume = volume;
    if (loop) s.loop_length = static_cast<uint32_t>(length);
    return s;
}

// Bytes 0, 1, 2, ... (mod m): every position is recognisable.
inline std::vector<int8_t> ramp(size_t length, int m) {
    std::vector<int8_t> v(length);
    for (size_t k = 0; k < length; ++k) v[k] = static_cast<int8_t>(static_cast<int>(k) % m);
    return v;
}
