// Instruments built from sines, noise and envelopes in integer arithmetic. Pitched waves
// hold whole cycles of a power-of-two length, so every instrument shares one tuning: a wave
// of N bytes per cycle sounds 3546895 / (period x N) Hz. Drums are made at the rate of
// period 214 (16574 Hz), where they are played.
#include <algorithm>
#include <cstdlib>

#include "resgen.h"
#include "tune.h"

namespace {

constexpr int32_t kDrumRate = 16574;
constexpr int32_t kTurn = 2880;  // fine angle units per turn

// 2^(-x) for x >= 0 in 16.16, through a quartic on the fraction (error about 1e-4).
int64_t exp2_neg(int64_t x) {
    int64_t whole = x >> 16;
    if (whole >= 40) return 0;
    int64_t f = x & 0xFFFF;
    int64_t p = 629;
    p = ((p * f) >> 16) - 3638;
    p = ((p * f) >> 16) + 15743;
    p = ((p * f) >> 16) - 45426;
    p = ((p * f) >> 16) + 65536;
    return p >> whole;
}

// Envelope that halves every half_life samples, 16.16.
int64_t decay(int32_t i, int32_t half_life) {
    return exp2_neg((int64_t{i} << 16) / half_life);
}

// Sine of a phase held in 1/65536 fine angle units.
int64_t sine_at(int64_t phase) {
    return sin16(static_cast<int32_t>((phase >> 16) % kTurn));
}

// Scales to a peak of 127, rounding half away from zero, and puts the two lead bytes first.
std::vector<int8_t> normalise(const std::vector<int64_t>& wave) {
    int64_t peak = 1;
    for (int64_t v : wave) peak = std::max(peak, std::abs(v));
    std::vector<int8_t> out = {0, 0};
    for (int64_t v : wave) {
        int64_t scaled = (std::abs(v) * 254 + peak) / (2 * peak);
        out.push_back(static_cast<int8_t>(v < 0 ? -scaled : scaled));
    }
    if (out.size() & 1) out.push_back(0);
    return out;
}

struct OnePole {
    int64_t state = 0;
    int64_t coefficient;  // 16.16, larger is brighter
    int64_t low(int64_t x) { return state += ((x - state) * coefficient) >> 16; }
};

std::vector<int64_t> kick_wave(int32_t length) {
    std::vector<int64_t> wave;
    int64_t phase = 0;
    for (int32_t i = 0; i < length; ++i) {
        // Pitch falls from 170 Hz to 44 Hz; the body decays more slowly than the click.
        int64_t hz = (44 << 16) + 126 * decay(i, 420);
        phase += hz * kTurn / kDrumRate;
        int64_t body = (sine_at(phase) * decay(i, 1500)) >> 16;
        int64_t click = i < 40 ? (40 - i) * 400 : 0;
        wave.push_back(body + click);
    }
    return wave;
}

std::vector<int64_t> snare_wave(int32_t length, uint32_t seed) {
    std::vector<int64_t> wave;
    Noise noise{seed};
    OnePole tone_filter{0, 30000}, air{0, 6000};
    int64_t phase_a = 0, phase_b = 0;
    for (int32_t i = 0; i < length; ++i) {
        phase_a += (int64_t{185} << 16) * kTurn / kDrumRate;
        phase_b += (int64_t{330} << 16) * kTurn / kDrumRate;
        int64_t tone = ((sine_at(phase_a) + sine_at(phase_b) / 2) * decay(i, 500)) >> 16;
        int64_t white = noise.signed_value(65536);
        int64_t rattle = tone_filter.low(white);
        rattle -= air.low(rattle);  // keep the band between the body and the hiss
        wave.push_back(tone + ((rattle * 2 * decay(i, 1100)) >> 16));
    }
    return wave;
}

std::vector<int64_t> hihat_wave(int32_t length, int32_t half_life, uint32_t seed) {
    std::vector<int64_t> wave;
    Noise noise{seed};
    OnePole first{0, 45000}, second{0, 45000};
    for (int32_t i = 0; i < length; ++i) {
        int64_t white = noise.signed_value(65536);
        int64_t bright = white - first.low(white);
        bright -= second.low(bright);
        wave.push_back((bright * decay(i, half_life)) >> 16);
    }
    return wave;
}

// A sound played once; its last 512 samples fade out so that it never ends in a click.
Instrument one_shot(const char* name, std::vector<int64_t> wave, uint8_t volume) {
    const int64_t tail = 512;
    const int64_t length = static_cast<int64_t>(wave.size());
    for (int64_t i = std::max<int64_t>(0, length - tail); i < length; ++i) {
        wave[static_cast<size_t>(i)] = wave[static_cast<size_t>(i)] * (length - i) / tail;
    }
    return {name, normalise(wave), volume, 0, 0};
}

// Adds harmonics 1..top of a wave with `cycles` cycles in `length` bytes, harmonic h with
// amplitude gain(h) (16.16), at the given phase offset in fine units.
template <typename Gain>
void add_harmonics(std::vector<int64_t>& wave, int32_t cycles, int32_t top, Gain gain,
                   int32_t offset = 0) {
    const int64_t length = static_cast<int64_t>(wave.size());
    for (int32_t h = 1; h <= top; ++h) {
        int64_t amplitude = gain(h);
        for (int64_t n = 0; n < length; ++n) {
            int64_t angle = (int64_t{h} * cycles * n * kTurn) / length + int64_t{h} * offset;
            wave[static_cast<size_t>(n)] +=
                (amplitude * sin16(static_cast<int32_t>(angle % kTurn))) >> 16;
        }
    }
}

// Bass tone, 128 bytes per cycle: a saw through a low-pass whose corner closes over the
// first 16 cycles and then stays.
std::vector<int64_t> bass_wave(int32_t cycles) {
    constexpr int32_t cycle = 128;
    std::vector<int64_t> wave;
    for (int32_t k = 0; k < cycles; ++k) {
        int64_t corner = 5 + 2 * std::max(0, 16 - k);  // harmonic at the corner: 37 down to 5
        std::vector<int64_t> one(cycle, 0);
        add_harmonics(one, 1, 40, [&](int32_t h) {
            int64_t c2 = corner * corner;
            return (int64_t{65536} * c2 / (c2 + int64_t{h} * h)) / h;
        });
        wave.insert(wave.end(), one.begin(), one.end());
    }
    return wave;
}

// The held bass: after the closing filter, its settled cycle repeats.
Instrument bass() {
    return {"bass", normalise(bass_wave(17)), 56, 2 + 16 * 128, 128};
}

// The plucked bass of the main part: the same tone dying away within about a beat, so that
// short notes end softly instead of being cut.
Instrument bass_pluck() {
    std::vector<int64_t> wave = bass_wave(24);
    for (size_t i = 0; i < wave.size(); ++i) {
        wave[i] = (wave[i] * decay(static_cast<int32_t>(i), 700)) >> 16;
    }
    return one_shot("bass pluck", wave, 60);
}

// Lead: a band-limited pulse of 32 bytes per cycle whose width sweeps from 12% to 50% and
// back over 64 cycles, the whole sweep looping.
Instrument lead() {
    constexpr int32_t cycle = 32, cycles = 64;
    std::vector<int64_t> wave(cycle * cycles, 0);
    for (int32_t k = 0; k < cycles; ++k) {
        int32_t sweep = k < cycles / 2 ? k : cycles - k;  // 0..32..1
        int32_t width = 345 + sweep * (1440 - 345) / 32;  // fine angle units of the pulse
        std::vector<int64_t> one(cycle, 0);
        auto saw = [](int32_t h) { return int64_t{65536} / h; };
        add_harmonics(one, 1, 15, saw);
        std::vector<int64_t> shifted(cycle, 0);
        add_harmonics(shifted, 1, 15, saw, -width);
        for (int32_t n = 0; n < cycle; ++n)
            wave[static_cast<size_t>(k * cycle + n)] = one[n] - shifted[n];
    }
    return {"lead", normalise(wave), 44, 2, cycle * cycles};
}

// A chord of three just-tuned tones (ratios over the root) in one loop that holds whole
// cycles of each, its root 128 bytes per cycle, faded in over `attack_loops` loops.
Instrument chord(const char* name, int32_t root_cycles, std::array<int32_t, 3> ratios,
                 int32_t attack_loops) {
    const int32_t length = 128 * root_cycles;
    std::vector<int64_t> loop(static_cast<size_t>(length), 0);
    for (int32_t ratio : ratios) {
        int32_t cycles = root_cycles * ratio / ratios[0];
        add_harmonics(loop, cycles, 14 * ratios[0] / ratio,
                      [](int32_t h) { return int64_t{65536} * 8 / (8 + int64_t{h} * h); });
    }
    // The root once more, an octave down, for body.
    add_harmonics(loop, root_cycles / 2, 6, [](int32_t h) { return int64_t{50000} / h; });
    std::vector<int64_t> wave;
    const int64_t ramp = int64_t{attack_loops} * length;
    for (int64_t i = 0; i < ramp; ++i) {
        wave.push_back(loop[static_cast<size_t>(i % length)] * i / ramp);
    }
    wave.insert(wave.end(), loop.begin(), loop.end());
    return {name, normalise(wave), 40, static_cast<uint32_t>(2 + ramp),
            static_cast<uint32_t>(length)};
}

// Bell: 32 bytes per cycle of its fundamental, with partials that fade faster the higher
// they are; two of them are not harmonics, which gives the glassy ring.
Instrument bell() {
    struct Partial {
        int32_t ratio_tenths, amplitude, half_life;
    };
    constexpr Partial partials[] = {
        {10, 65536, 3200}, {20, 30000, 1800}, {30, 14000, 900}, {42, 12000, 600}, {54, 7000, 350},
    };
    constexpr int32_t length = 12000;
    std::vector<int64_t> wave(length, 0);
    for (const Partial& p : partials) {
        int64_t phase = 0;
        int64_t step = (int64_t{kTurn} << 16) * p.ratio_tenths / (32 * 10);
        for (int32_t i = 0; i < length; ++i) {
            int64_t attack = i < 24 ? i * 65536 / 24 : 65536;
            int64_t tone = (sine_at(phase) * p.amplitude) >> 16;
            tone = (tone * decay(i, p.half_life)) >> 16;
            wave[static_cast<size_t>(i)] += (tone * attack) >> 16;
            phase += step;
        }
    }
    return one_shot("bell", wave, 48);
}

std::vector<int64_t> crash_wave(int32_t length) {
    std::vector<int64_t> wave;
    Noise noise{0x85EBCA6Bu};
    OnePole low{0, 40000}, body{0, 9000};
    for (int32_t i = 0; i < length; ++i) {
        int64_t white = noise.signed_value(65536);
        int64_t band = low.low(white);
        band -= body.low(band);
        int64_t attack = i < 60 ? i * 65536 / 60 : 65536;
        wave.push_back((((band * decay(i, 4200)) >> 16) * attack) >> 16);
    }
    return wave;
}

}  // namespace

std::vector<Instrument> make_instruments() {
    std::vector<Instrument> out;
    out.push_back(one_shot("kick", kick_wave(6000), 64));
    out.push_back(one_shot("snare", snare_wave(4000, 0xC2B2AE35u), 56));
    out.push_back(one_shot("hihat", hihat_wave(1400, 260, 0x27D4EB2Fu), 40));
    std::vector<int64_t> both = kick_wave(6000);
    std::vector<int64_t> snare = snare_wave(4000, 0xC2B2AE35u);
    int64_t kick_peak = 1, snare_peak = 1;
    for (int64_t v : both) kick_peak = std::max(kick_peak, std::abs(v));
    for (int64_t v : snare) snare_peak = std::max(snare_peak, std::abs(v));
    for (size_t i = 0; i < snare.size(); ++i) {
        both[i] += snare[i] * kick_peak * 3 / (4 * snare_peak);
    }
    out.push_back(one_shot("kick+snare", both, 64));
    out.push_back(one_shot("crash", crash_wave(26000), 56));
    out.push_back(bass());
    out.push_back(lead());
    out.push_back(chord("chord minor", 10, {10, 12, 15}, 3));
    out.push_back(chord("chord major", 4, {4, 5, 6}, 8));
    out.push_back(bell());
    out.push_back(bass_pluck());
    return out;
}
