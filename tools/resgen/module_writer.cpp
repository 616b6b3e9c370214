#include <stdexcept>

#include "tune.h"

namespace {

void put_be16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value & 0xFF));
}

void put_text(std::vector<uint8_t>& out, const std::string& text, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        out.push_back(i < text.size() ? static_cast<uint8_t>(text[i]) : 0);
    }
}

}  // namespace

std::vector<uint8_t> encode_module(const std::string& title, const std::vector<Instrument>& samples,
                                   const std::vector<Pattern>& patterns,
                                   const std::vector<uint8_t>& orders) {
    if (samples.size() > 31 || orders.empty() || orders.size() > 128 || patterns.size() > 64) {
        throw std::invalid_argument("module outside the four-channel 31-sample layout");
    }
    std::vector<uint8_t> out;
    put_text(out, title, 20);
    for (size_t i = 0; i < 31; ++i) {
        if (i >= samples.size()) {
            put_text(out, "", 22);
            put_be16(out, 0);
            out.push_back(0);
            out.push_back(0);
            put_be16(out, 0);
            put_be16(out, 1);  // the customary one-word loop of a sample that does not loop
            continue;
        }
        const Instrument& s = samples[i];
        if ((s.data.size() & 1) || s.data.size() > 131070 || (s.loop_start & 1) ||
            (s.loop_length & 1) || s.loop_start + s.loop_length > s.data.size()) {
            throw std::invalid_argument("sample " + s.name + " breaks the word layout");
        }
        put_text(out, s.name, 22);
        put_be16(out, static_cast<uint32_t>(s.data.size() / 2));
        out.push_back(0);  // finetune
        out.push_back(s.volume);
        if (s.loop_length == 0) {
            put_be16(out, 0);
            put_be16(out, 1);
        } else {
            put_be16(out, s.loop_start / 2);
            put_be16(out, s.loop_length / 2);
        }
    }
    out.push_back(static_cast<uint8_t>(orders.size()));
    out.push_back(127);
    for (size_t i = 0; i < 128; ++i) out.push_back(i < orders.size() ? orders[i] : 0);
    put_text(out, "M.K.", 4);
    for (const Pattern& pattern : patterns) {
        for (const auto& row : pattern) {
            for (const Cell& cell : row) {
                out.push_back(static_cast<uint8_t>((cell.sample & 0xF0) | (cell.period >> 8)));
                out.push_back(static_cast<uint8_t>(cell.period & 0xFF));
                out.push_back(
                    static_cast<uint8_t>(((cell.sample & 0x0F) << 4) | (cell.effect >> 8)));
                out.push_back(static_cast<uint8_t>(cell.effect & 0xFF));
            }
        }
    }
    for (const Instrument& s : samples) {
        for (int8_t b : s.data) out.push_back(static_cast<uint8_t>(b));
    }
    return out;
}
