// A hash and a random sequence for recorded-value tests, the same on every standard library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

// FNV-1a, 64 bits, over bytes and numbers fed in order; word() takes a whole value in one step.
struct Hash {
    uint64_t value = 0xCBF29CE484222325ull;
    Hash& word(uint64_t w) {
        value = (value ^ w) * 0x100000001B3ull;
        return *this;
    }
    Hash& bytes(const void* data, size_t size) {
        for (size_t i = 0; i < size; ++i) word(static_cast<const uint8_t*>(data)[i]);
        return *this;
    }
    Hash& number(int64_t n) { return bytes(&n, sizeof(n)); }
    std::string hex() const {
        std::ostringstream out;
        out << std::hex << value;
        return out.str();
    }
};

// A 64-bit linear congruential sequence; in() is lo..hi, both included.
struct Random {
    uint64_t state;
    uint64_t next() {
        return (state = state * 6364136223846793005ull + 1442695040888963407ull) >> 16;
    }
    int64_t in(int64_t lo, int64_t hi) { return lo + int64_t(next() % uint64_t(hi - lo + 1)); }
};
