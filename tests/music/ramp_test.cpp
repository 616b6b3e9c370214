// Volume ramping: a sound that is cut off fades instead of stopping dead, a new note rises over a
// ramp and then plays its own samples, and outside those windows the output is exactly the
// unramped one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

#include "mod_builder.h"
#include "music/effects.h"

namespace {

constexpr int32_t kRate = 44100;
constexpr int32_t kRamp = kRate * static_cast<int32_t>(VOLUME_RAMP_US) / 1000000;
constexpr int32_t kFade = kRate * static_cast<int32_t>(NOTE_FADE_US) / 1000000;
constexpr int32_t kRow = 6 * 882;
constexpr int32_t kFull = 127 * 256;  // a voice at full volume on the loudest sample byte

// A loud looping note on channel 0 from row 0.
ModBuilder loud(uint16_t period = 428) {
    return std::move(ModBuilder().sample(1, flat_sample(1000, 127)).cell(0, 0, 0, 1, period, 0));
}

// The left plane (channels 0 and 3) of n frames.
std::vector<int32_t> left(ModPlayer* p, int32_t n) {
    std::vector<int32_t> acc(2 * static_cast<size_t>(n));
    player_render(p, acc.data(), n);
    acc.resize(static_cast<size_t>(n));
    return acc;
}

TEST(Ramping, ACutOffSoundFadesToSilenceWithoutAJump) {
    const struct {
        const char* what;
        ModBuilder song;
    } cases[] = {
        {"a new note of a silent sample",
         loud().sample(2, flat_sample(1000, 0)).cell(0, 1, 0, 2, 428, 0)},
        {"a note cut", loud().cell(0, 1, 0, 0, 0, 0xEC2)},
        {"the volume set to 0", loud().cell(0, 1, 0, 0, 0, 0xC00)},
        {"an arpeggio past the highest period", loud(113).cell(0, 1, 0, 0, 0, 0x001)},
        // A sample whose voice is silenced at a tick's end while its last block still sounds,
        // and one that plays its last bytes and runs out within a tick.
        {"a sample silenced at a tick's end",
         ModBuilder().sample(1, flat_sample(3000, 127, 64, false)).cell(0, 0, 0, 1, 428, 0)},
        {"a sample running out within a tick",
         ModBuilder().sample(1, flat_sample(2582, 127, 64, false)).cell(0, 0, 0, 1, 428, 0)},
    };
    for (const auto& c : cases) {
        const auto image = c.song.build();
        TestPlayer ramped(image, kRate, true), exact(image, kRate, false);
        const std::vector<int32_t> a = left(ramped.get(), 4 * kRow),
                                   b = left(exact.get(), 4 * kRow);
        // Without ramping the sound drops from full to silence within a few frames.
        const auto cut = static_cast<int32_t>(
            std::find_if(b.begin() + kRow + 8, b.end(), [](int32_t v) { return v != kFull; }) -
            b.begin());
        ASSERT_LT(cut + 3 * kFade, 4 * kRow) << c.what;
        EXPECT_EQ(b[cut + 8], 0) << c.what;
        int32_t largest_step = 0;
        for (int32_t i = kRow + 8; i < cut + 3 * kFade; ++i)
            largest_step = std::max(largest_step, std::abs(a[i] - a[i - 1]));
        EXPECT_LE(largest_step, 2 * kFull / kFade) << c.what;
        EXPECT_EQ(a[cut + 2 * kFade], 0) << c.what << ": silent after the fade";
    }
}

// The new note rises from the old one's level to its own samples within the ramp, after which
// it plays exactly as it does without ramping.
TEST(Ramping, ANewNoteKeepsItsOwnSamplesAfterTheRamp) {
    TestSample recognisable;  // loud from its first byte on
    for (int k = 0; k < 2000; ++k) recognisable.data.push_back(static_cast<int8_t>(127 - k % 50));
    recognisable.loop_length = 2000;
    const auto song = ModBuilder()
                          .sample(1, flat_sample(1000, 90))
                          .sample(2, recognisable)
                          .cell(0, 0, 0, 1, 428, 0)
                          .cell(0, 1, 0, 2, 214, 0)
                          .build();
    TestPlayer ramped(song, kRate, true), exact(song, kRate, false);
    const std::vector<int32_t> a = left(ramped.get(), 3 * kRow), b = left(exact.get(), 3 * kRow);
    const int32_t start = 2 * kRow;
    EXPECT_NE(b[start], b[start - 1]) << "without ramping the old level drops at once";
    for (int32_t i = start; i < start + kRamp; ++i)
        ASSERT_LE(std::abs(a[i] - a[i - 1]), 2 * kFull / kRamp) << "frame " << i;
    for (int32_t i = start + std::max(kRamp, kFade); i < 3 * kRow; ++i)
        ASSERT_EQ(a[i], b[i]) << "frame " << i;
}

// Random songs of looping and fading samples, notes and the effects that start, cut, retrigger
// and change volume: rendered tick by tick with and without ramping, the two agree everywhere
// but in the first frames of a tick, where every ramp starts.
TEST(Ramping, OutsideTheRampsTheOutputIsTheUnrampedOne) {
    std::mt19937 random(7);
    const uint16_t effects[] = {0x000, 0xC20, 0xC00, 0xA04, 0xA40, 0x037, 0x001, 0x305,
                                0x744, 0x904, 0xEC2, 0xED2, 0xE92, 0x120, 0x000, 0x000};
    for (int song = 0; song < 12; ++song) {
        ModBuilder b;
        for (int s = 1; s <= 3; ++s) {
            TestSample t;
            for (int k = 0; k < 600; ++k)
                t.data.push_back(static_cast<int8_t>(random() % 255 - 127));
            if (s == 3)
                t.data.back() = 0;  // ends at rest: a sample running out needs no decay
            else
                t.loop_length = 600;
            t.volume = static_cast<uint8_t>(random() % 65);
            b.sample(s, t);
        }
        for (int r = 0; r < MOD_ROWS; ++r) {
            for (int c = 0; c < MOD_CHANNELS; ++c) {
                if (random() % 3 == 0) continue;
                const bool note = random() % 2 == 0;
                b.cell(0, r, c, note ? static_cast<uint8_t>(random() % 4) : 0,
                       note ? period_table[random() % 36] : 0, effects[random() % 16]);
            }
        }
        const auto image = b.build();
        TestPlayer ramped(image, kRate, true), exact(image, kRate, false);
        std::vector<int32_t> x(2 * 882), y(2 * 882);
        for (int tick = 0; tick < 6 * 64; ++tick) {
            const int32_t n = ramped->samples_per_tick;
            player_render(ramped.get(), x.data(), n);
            player_render(exact.get(), y.data(), n);
            for (int32_t i = std::max(kRamp, kFade); i < n; ++i) {
                ASSERT_EQ(x[i], y[i]) << "song " << song << " tick " << tick << " left " << i;
                ASSERT_EQ(x[n + i], y[n + i])
                    << "song " << song << " tick " << tick << " right " << i;
            }
        }
    }
}

// Without ramping the output is today's to the bit: hashes of 60 s of the show's tune and of
// modules built to exercise every effect, recorded before ramping existed.
TEST(Ramping, TheUnrampedOutputIsUnchanged) {
    const struct {
        const char* path;
        uint64_t hash;
    } recorded[] = {
        {"res/brumo.mod", 0x891a94bb7388c736},
        {"../shared/corpus/mod/ASM94.MOD", 0x5ae5a2d952716824},
        {"../shared/corpus/mod/CITRON.MOD", 0x6d6e0392c5708cc1},
        {"../shared/corpus/mod/PINILL-PRESENT.MOD", 0xca28043128b9a6ef},
        {"../shared/corpus/mod/Pro_BMX_Simulator.mod", 0xf4f8d7ad319e3f05},
        {"../shared/corpus/mod/condom_corruption.mod", 0x58164611fe3663d1},
        {"../shared/corpus/mod/ode2ptk.mod", 0xb56ef312343e4661},
    };
    for (const auto& r : recorded) {
        std::ifstream in(r.path, std::ios::binary);
        if (!in) continue;  // the corpus is optional
        TestPlayer p(std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {}));
        player_set_looping(p.get(), 1);
        std::vector<int16_t> out(2 * 4410);
        uint64_t hash = 1469598103934665603u;  // FNV-1a over the 16-bit values
        for (int k = 0; k < 600; ++k) {
            player_render_s16(p.get(), out.data(), 4410);
            for (int16_t v : out) hash = (hash ^ static_cast<uint16_t>(v)) * 1099511628211u;
        }
        EXPECT_EQ(hash, r.hash) << r.path;
    }
}

}  // namespace
