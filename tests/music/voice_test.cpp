#include "music/voice.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A source that hands out consecutive blocks of a byte sequence and counts its calls.
struct Source {
    std::vector<int8_t> bytes;
    size_t pos = 0;
    int calls = 0;
};

void source_fetch(void* data, int8_t* buffer) {
    auto* s = static_cast<Source*>(data);
    ++s->calls;
    for (int k = 0; k < VOICE_BLOCK; ++k, ++s->pos)
        buffer[k] = s->pos < s->bytes.size() ? s->bytes[s->pos] : 0;
}

Voice make_voice(Source* src, int32_t volume) {
    Voice v{};
    voice_init(&v, 44100);
    voice_set_fetch(&v, source_fetch, src);
    voice_set_volume(&v, volume);
    return v;
}

TEST(Voice, StepOnePassesSourceBytesThroughWithoutInterpolation) {
    Source src;
    for (int k = 0; k < 600; ++k) src.bytes.push_back(static_cast<int8_t>((k * 37) % 256 - 128));
    Voice v = make_voice(&src, 64);
    voice_set_frequency(&v, 44100);
    ASSERT_EQ(v.step, 0x10000);
    std::vector<int32_t> acc(520, 0);
    voice_mix(&v, acc.data(), 520);
    // Right after init the first output is 0 and the first advance crosses two positions
    // (1 + step); the second output is the old next (0). From then on, with frac at 0, every
    // output is the source byte at its own index scaled by 256.
    EXPECT_EQ(acc[0], 0);
    EXPECT_EQ(acc[1], 0);
    for (int i = 2; i < 520; ++i) ASSERT_EQ(acc[i], 256 * src.bytes[i]) << i;
    EXPECT_EQ(src.calls, 3);
}

TEST(Voice, VolumeIsLimitedToZeroToSixtyFour) {
    Voice v{};
    const std::pair<int32_t, int32_t> cases[] = {{-5, 0}, {0, 0}, {33, 33}, {64, 64}, {100, 64}};
    for (auto [in, stored] : cases) {
        voice_set_volume(&v, in);
        EXPECT_EQ(v.volume, stored) << in;
    }
}

TEST(Voice, VolumeScalesAndVolumeZeroStillAdvances) {
    Source src;
    src.bytes.assign(1024, 100);
    Voice v = make_voice(&src, 32);
    voice_set_frequency(&v, 44100);
    std::vector<int32_t> acc(300, 0);
    voice_mix(&v, acc.data(), 300);
    EXPECT_EQ(acc[299], (32 * 256 * 100) >> 6);

    Source quiet;
    quiet.bytes.assign(1024, 100);
    Voice silent = make_voice(&quiet, 0);
    voice_set_frequency(&silent, 44100);
    std::vector<int32_t> zeros(300, 0);
    voice_mix(&silent, zeros.data(), 300);
    EXPECT_EQ(quiet.calls, 2);
    EXPECT_EQ(silent.block_pos, 301 - 256);  // 1 + 300 positions
    for (int32_t z : zeros) ASSERT_EQ(z, 0);
}

TEST(Voice, FrequencyZeroAddsNothingAndClearsInterpolation) {
    Source src;
    src.bytes.assign(1024, 50);
    Voice v = make_voice(&src, 64);
    voice_set_frequency(&v, 22050);
    std::vector<int32_t> acc(100, 0);
    voice_mix(&v, acc.data(), 100);
    voice_set_frequency(&v, 0);
    EXPECT_EQ(v.step, 0);
    const int32_t frac = v.frac;
    const int32_t block_pos = v.block_pos;
    std::vector<int32_t> more(100, 7);
    voice_mix(&v, more.data(), 100);
    for (int32_t m : more) ASSERT_EQ(m, 7);
    EXPECT_EQ(v.prev, 0);
    EXPECT_EQ(v.next, 0);
    EXPECT_EQ(v.frac, frac);
    EXPECT_EQ(v.block_pos, block_pos);
}

TEST(Voice, NoFetchContributesNothingAndDoesNotAdvance) {
    Voice v{};
    voice_init(&v, 44100);
    voice_set_volume(&v, 64);
    voice_set_frequency(&v, 8000);
    std::vector<int32_t> acc(64, 3);
    voice_mix(&v, acc.data(), 64);
    for (int32_t a : acc) ASSERT_EQ(a, 3);
    EXPECT_EQ(v.frac, 0x10000);
}

TEST(Voice, SetFrequencyComputesSixteenDotSixteenStep) {
    Voice v{};
    voice_init(&v, 44100);
    voice_set_frequency(&v, 8287);
    EXPECT_EQ(v.step, static_cast<int32_t>((8287u << 16) / 44100));
    voice_set_frequency(&v, 0);
    EXPECT_EQ(v.step, 0);
}

TEST(Voice, RestartSkipsIndexZeroOfTheFreshBlock) {
    Source src;
    for (int k = 0; k < 1024; ++k) src.bytes.push_back(static_cast<int8_t>(k % 100));
    Voice v = make_voice(&src, 64);
    voice_set_frequency(&v, 22050);  // step 0.5
    std::vector<int32_t> acc(40, 0);
    voice_mix(&v, acc.data(), 40);
    const int32_t heard = v.next;
    voice_restart(&v);
    EXPECT_EQ(v.block_pos, 256);
    src.pos = 500;  // the fresh block holds bytes 500.. ; its index 0 (byte 500 = 0) is skipped
    // Advance until the next crossing: prev takes the old next, next is index 1 of the block.
    while (v.block_pos == 256) {
        int32_t one = 0;
        voice_mix(&v, &one, 1);
    }
    EXPECT_EQ(v.block_pos, 1);
    EXPECT_EQ(v.prev, heard);
    EXPECT_EQ(v.next, src.bytes[501] << 23);
}

TEST(Voice, StepsAboveOneSkipSamplesAndRefillOncePerBlock) {
    Source src;
    for (int k = 0; k < 2048; ++k) src.bytes.push_back(static_cast<int8_t>(k % 128));
    Voice v = make_voice(&src, 64);
    v.step = 3 << 16;
    std::vector<int32_t> acc(200, 0);
    voice_mix(&v, acc.data(), 200);
    // 1 + 3 positions on the first advance, 3 on each later one: 600 + 1 positions in all.
    EXPECT_EQ(src.calls, 3);
    EXPECT_EQ(v.block_pos, (3 + 1 + 3 * 199) % 256);
    EXPECT_EQ(v.next, src.bytes[3 + 1 + 3 * 199] << 23);
}

}  // namespace
