// Volume ramping: cut-off sounds fade, new notes rise and then play their own samples, and
// outside those windows the output is exactly the unramped one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

#include "mod_builder.h"
#include "music/effects.h"

namespace {

constexpr int32_t kRamp = 44100 * int32_t(VOLUME_RAMP_US) / 1000000;
constexpr int32_t kFade = 44100 * int32_t(NOTE_FADE_US) / 1000000;
constexpr int32_t kRow = 6 * 882;
constexpr int32_t kFull = 127 * 256;  // a voice at full volume on the loudest sample byte

// A loud looping note on channel 0 from row 0.
ModBuilder loud(uint16_t period = 428) {
    return std::move(ModBuilder().sample(1, flat_sample(1000, 127)).cell(0, 0, 0, 1, period, 0));
}

// The left plane (channels 0 and 3) of n frames.
std::vector<int32_t> left(const ModBuilder& song, int32_t n, bool ramping) {
    TestPlayer p(song.build(), 44100, ramping);
    std::vector<int32_t> acc(2 * size_t(n));
    player_render(p.get(), acc.data(), n);
    return {acc.begin(), acc.begin() + n};
}

TEST(Ramping, ACutOffSoundFadesToSilenceWithoutAJump) {
    const auto once = [](size_t length) {  // a loud sample without loop
        return ModBuilder().sample(1, flat_sample(length, 127, 64, false)).cell(0, 0, 0, 1, 428, 0);
    };
    const std::pair<const char*, ModBuilder> cases[] = {
        {"a new note of a silent sample",
         loud().sample(2, flat_sample(1000, 0)).cell(0, 1, 0, 2, 428, 0)},
        {"a note cut", loud().cell(0, 1, 0, 0, 0, 0xEC2)},
        {"the volume set to 0", loud().cell(0, 1, 0, 0, 0, 0xC00)},
        {"an arpeggio past the highest period", loud(113).cell(0, 1, 0, 0, 0, 0x001)},
        // A sample whose voice is silenced at a tick's end while its last block still sounds,
        // and one that plays its last bytes and runs out within a tick.
        {"a sample silenced at a tick's end", once(3000)},
        {"a sample running out within a tick", once(2582)},
    };
    for (const auto& [what, song] : cases) {
        const auto a = left(song, 4 * kRow, true), b = left(song, 4 * kRow, false);
        // Without ramping the sound drops from full to silence within a few frames.
        const auto cut = int32_t(
            std::find_if(b.begin() + kRow + 8, b.end(), [](int32_t v) { return v != kFull; }) -
            b.begin());
        ASSERT_LT(cut + 3 * kFade, 4 * kRow) << what;
        EXPECT_EQ(b[size_t(cut + 8)], 0) << what;
        int32_t largest_step = 0;
        for (auto i = size_t(kRow + 8); i < size_t(cut + 3 * kFade); ++i)
            largest_step = std::max(largest_step, std::abs(a[i] - a[i - 1]));
        EXPECT_LE(largest_step, 2 * kFull / kFade) << what;
        EXPECT_EQ(a[size_t(cut + 2 * kFade)], 0) << what << ": silent after the fade";
    }
}

// The new note rises from the old one's level to its own samples within the ramp, after which
// it plays exactly as it does without ramping.
TEST(Ramping, ANewNoteKeepsItsOwnSamplesAfterTheRamp) {
    TestSample loud_at_once{{}, 64, 0, 0, 2000};
    for (int k = 0; k < 2000; ++k) loud_at_once.data.push_back(int8_t(127 - k % 50));
    ModBuilder song;
    song.sample(1, flat_sample(1000, 90)).sample(2, loud_at_once).cell(0, 0, 0, 1, 428, 0);
    song.cell(0, 1, 0, 2, 214, 0);
    const auto a = left(song, 3 * kRow, true), b = left(song, 3 * kRow, false);
    const size_t start = 2 * kRow;
    EXPECT_NE(b[start], b[start - 1]) << "without ramping the old level drops at once";
    for (size_t i = start; i < start + kRamp; ++i)
        ASSERT_LE(std::abs(a[i] - a[i - 1]), 2 * kFull / kRamp) << "frame " << i;
    for (size_t i = start + std::max(kRamp, kFade); i < 3 * kRow; ++i)
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
        for (int s = 1; s <= 3; ++s) {  // sample 3 runs out, at rest: it needs no decay
            TestSample t{{}, uint8_t(random() % 65), 0, 0, s == 3 ? 0u : 600u};
            for (int k = 0; k < 600; ++k)
                t.data.push_back(int8_t(k == 599 ? 0 : random() % 255 - 127));
            b.sample(s, t);
        }
        for (int i = 0; i < MOD_ROWS * MOD_CHANNELS; ++i) {
            if (random() % 3 == 0) continue;
            const bool note = random() % 2 == 0;
            b.cell(0, i / 4, i % 4, note ? int(random() % 4) : 0,
                   note ? period_table[random() % 36] : 0, effects[random() % 16]);
        }
        TestPlayer ramped(b.build(), 44100, true), exact(b.build(), 44100, false);
        std::vector<int32_t> x(2 * 882), y(2 * 882);
        for (int tick = 0; tick < 6 * 64; ++tick) {
            const int32_t n = ramped->samples_per_tick;
            player_render(ramped.get(), x.data(), n);
            player_render(exact.get(), y.data(), n);
            for (int32_t i = std::max(kRamp, kFade); i < n; ++i)
                ASSERT_TRUE(x[size_t(i)] == y[size_t(i)] && x[size_t(n + i)] == y[size_t(n + i)])
                    << "song " << song << " tick " << tick << " frame " << i;
        }
    }
}

// Without ramping the output is today's to the bit: hashes of 60 s of the show's tune and of
// modules that use every effect, recorded before ramping existed.
TEST(Ramping, TheUnrampedOutputIsUnchanged) {
    const std::pair<const char*, uint64_t> recorded[] = {
        {"res/brumo.mod", 0x891a94bb7388c736},
        {"../shared/corpus/mod/ASM94.MOD", 0x5ae5a2d952716824},
        {"../shared/corpus/mod/CITRON.MOD", 0x6d6e0392c5708cc1},
        {"../shared/corpus/mod/PINILL-PRESENT.MOD", 0xca28043128b9a6ef},
        {"../shared/corpus/mod/Pro_BMX_Simulator.mod", 0xf4f8d7ad319e3f05},
        {"../shared/corpus/mod/condom_corruption.mod", 0x58164611fe3663d1},
        {"../shared/corpus/mod/ode2ptk.mod", 0xb56ef312343e4661},
    };
    for (const auto& [path, want] : recorded) {
        std::ifstream in(path, std::ios::binary);
        if (!in) continue;  // the corpus is optional
        TestPlayer p(std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {}));
        player_set_looping(p.get(), 1);
        EXPECT_EQ(output_hash(p.get(), 60 * 44100, 4410), want) << path;
    }
}

}  // namespace
