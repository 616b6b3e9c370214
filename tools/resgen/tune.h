// The tune's parts: synthesized instruments and the module writer.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct Instrument {
    std::string name;
    std::vector<int8_t> data;  // even length; bytes 0 and 1 are 0 (a note starts at byte 2)
    uint8_t volume;            // default volume 0..64
    uint32_t loop_start;       // bytes, even; loop_length 0 means no loop
    uint32_t loop_length;
};

// Sample numbers in the module (1-based), in the order make_instruments returns them.
enum : uint8_t {
    KICK = 1,
    SNARE,
    HIHAT,
    KICK_SNARE,
    CRASH,
    BASS,
    LEAD,
    CHORD_MINOR,
    CHORD_MAJOR,
    BELL,
    BASS_PLUCK,
    INSTRUMENT_COUNT = BASS_PLUCK,
};

std::vector<Instrument> make_instruments();

struct Cell {
    uint8_t sample = 0;
    uint16_t period = 0;
    uint16_t effect = 0;  // command << 8 | parameter
};

using Pattern = std::array<std::array<Cell, 4>, 64>;

std::vector<uint8_t> encode_module(const std::string& title, const std::vector<Instrument>& samples,
                                   const std::vector<Pattern>& patterns,
                                   const std::vector<uint8_t>& orders);
