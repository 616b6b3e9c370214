#include "music/voice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "mod_builder.h"

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

Voice make_voice(Source* src, int32_t volume, uint32_t hz) {
    Voice v{};
    voice_init(&v, 44100);
    if (src) voice_set_fetch(&v, source_fetch, src);
    voice_set_volume(&v, volume);
    voice_set_frequency(&v, hz);
    return v;
}

std::vector<int32_t> mix(Voice* v, int32_t n, int32_t fill = 0) {
    std::vector<int32_t> acc(static_cast<size_t>(n), fill);
    voice_mix(v, acc.data(), n);
    return acc;
}

TEST(Voice, StepOnePassesSourceBytesThroughWithoutInterpolation) {
    Source src{ramp(600, 256)};
    for (auto& b : src.bytes) b = static_cast<int8_t>(b * 37);
    Voice v = make_voice(&src, 64, 44100);
    ASSERT_EQ(v.step, 0x10000);
    // The first two outputs are the zero interpolation start left by voice_init; after that,
    // with frac at 0, each output is the source byte at its own index.
    const auto acc = mix(&v, 520);
    EXPECT_EQ(acc[0], 0);
    EXPECT_EQ(acc[1], 0);
    for (int i = 2; i < 520; ++i) ASSERT_EQ(acc[i], 256 * src.bytes[i]) << i;
    EXPECT_EQ(src.calls, 3);
}

TEST(Voice, VolumeIsLimitedAndScales) {
    const std::pair<int32_t, int32_t> cases[] = {{-5, 0}, {0, 0}, {32, 32}, {64, 64}, {100, 64}};
    for (auto [in, stored] : cases) {
        Source src{std::vector<int8_t>(1024, 100)};
        Voice v = make_voice(&src, in, 44100);
        EXPECT_EQ(v.volume, stored) << in;
        EXPECT_EQ(mix(&v, 300)[299], (stored * 256 * 100) >> 6) << in;
        EXPECT_EQ(v.block_pos, 301 - 256) << in;  // volume 0 still moves on
    }
}

TEST(Voice, FrequencyZeroAddsNothingAndClearsInterpolation) {
    Source src{std::vector<int8_t>(1024, 50)};
    Voice v = make_voice(&src, 64, 22050);
    mix(&v, 100);
    voice_set_frequency(&v, 0);
    EXPECT_EQ(v.step, 0);
    const Voice before = v;
    for (int32_t m : mix(&v, 100, 7)) ASSERT_EQ(m, 7);
    EXPECT_EQ(v.prev, 0);
    EXPECT_EQ(v.next, 0);
    EXPECT_EQ(v.frac, before.frac);
    EXPECT_EQ(v.block_pos, before.block_pos);

    Voice unfed = make_voice(nullptr, 64, 8000);  // no fetch: nothing added, nothing moves
    for (int32_t m : mix(&unfed, 64, 3)) ASSERT_EQ(m, 3);
    EXPECT_EQ(unfed.frac, 0x10000);
}

TEST(Voice, RestartSkipsIndexZeroOfTheFreshBlock) {
    Source src{ramp(1024, 100)};
    Voice v = make_voice(&src, 64, 22050);  // step 0.5
    mix(&v, 40);
    const int32_t heard = v.next;
    voice_restart(&v);
    EXPECT_EQ(v.block_pos, 256);
    src.pos = 500;  // the fresh block holds bytes 500..; its index 0 is skipped
    while (v.block_pos == 256) mix(&v, 1);
    EXPECT_EQ(v.block_pos, 1);
    EXPECT_EQ(v.prev, heard);
    EXPECT_EQ(v.next, src.bytes[501] << 23);
}

TEST(Voice, StepsAboveOneSkipSamplesAndRefillOncePerBlock) {
    Source src{ramp(2048, 128)};
    Voice v = make_voice(&src, 64, 0);
    v.step = 3 << 16;
    mix(&v, 200);
    // 1 + 3 positions on the first advance, 3 on each later one.
    const int end = 1 + 3 * 200;
    EXPECT_EQ(src.calls, 3);
    EXPECT_EQ(v.block_pos, end % 256);
    EXPECT_EQ(v.next, src.bytes[end] << 23);
}

// The mixing loop written out plainly, one output sample at a time, for comparison.
void reference_mix(Voice* v, int32_t* acc, int32_t count) {
    if (v->fetch == nullptr) return;
    const int32_t s = v->step;
    if (s == 0) {
        v->prev = v->next = 0;
        return;
    }
    for (int32_t i = 0; i < count; ++i) {
        const int32_t d = ((v->next - v->prev) >> 20) * v->frac >> 11;
        acc[i] += (v->volume * (d + (v->prev >> 15))) >> 6;
        v->frac += s;
        if (v->frac > 0xFFFF) {
            v->block_pos += v->frac >> 16;
            v->frac &= 0xFFFF;
            if (v->block_pos > 255) {
                v->block_pos &= 255;
                voice_refill(v);
            }
            v->prev = v->next;
            v->next = v->block[static_cast<size_t>(v->block_pos)];
        }
    }
}

// A source that runs out: after `stop_after` fetches it silences its voice, as a sample
// without loop does.
struct Ending {
    Source source;
    Voice* voice = nullptr;
    int stop_after = 1000;
};

void ending_fetch(void* data, int8_t* buffer) {
    auto* e = static_cast<Ending*>(data);
    source_fetch(&e->source, buffer);
    if (e->source.calls == e->stop_after) voice_set_frequency(e->voice, 0);
}

// Whatever way the mixer takes (several output samples at a time where it can), it gives what
// the plain loop gives, bit for bit, with the same fetches and the same final state, over long
// random sequences of what the player does to a voice between runs: new steps (below, at and
// above 1.0), volumes, restarts with and without a new note, and runs of any length around the
// mixer's blocks, from a source of random bytes that stops its voice in the middle of a run.
TEST(Voice, MixMatchesThePlainLoopBitForBit) {
    const int32_t edge_steps[] = {0x0100, 0x8000, 0xFFFF, 0x10000, 0x18000, 3 << 16};
    const int32_t edge_runs[] = {1, 255, 256, 1023, 1024, 1025};
    std::mt19937 random(20261207);
    for (int trial = 0; trial < 300; ++trial) {
        Ending mine{{std::vector<int8_t>(8192)}}, plain;
        for (auto& b : mine.source.bytes) b = static_cast<int8_t>(random());
        plain.source.bytes = mine.source.bytes;
        mine.stop_after = plain.stop_after = 1 + static_cast<int>(random() % 40);
        Voice a{}, b{};
        for (auto [v, e] : {std::pair{&a, &mine}, {&b, &plain}}) {
            voice_init(v, 44100);
            voice_set_fetch(v, ending_fetch, e);
            e->voice = v;
        }
        std::vector<int32_t> got(3000), want(3000);
        for (int op = 0; op < 40; ++op) {
            switch (random() % 6) {
                case 0:
                    a.step = b.step = static_cast<int32_t>(random() % 0x10000);
                    if (random() % 4 == 0) a.step = b.step = 0x10000 + random() % 0x20000;
                    if (random() % 4 == 0) a.step = b.step = edge_steps[random() % 6];
                    break;
                case 1:
                    voice_set_volume(&a, static_cast<int32_t>(random() % 65));
                    b.volume = a.volume;
                    break;
                case 2:
                    voice_restart(&a);
                    voice_restart(&b);
                    break;
                case 3:
                    voice_start_note(&a);
                    voice_start_note(&b);
                    break;
                default: {
                    const auto n = random() % 4 == 0 ? edge_runs[random() % 6]
                                                     : static_cast<int32_t>(random() % 3000);
                    std::fill(got.begin(), got.end(), 5);
                    std::fill(want.begin(), want.end(), 5);
                    voice_mix(&a, got.data(), n);
                    reference_mix(&b, want.data(), n);
                    ASSERT_EQ(got, want) << "trial " << trial << " op " << op;
                    ASSERT_EQ(mine.source.calls, plain.source.calls);
                    ASSERT_EQ(a.frac, b.frac);
                    ASSERT_EQ(a.prev, b.prev);
                    ASSERT_EQ(a.next, b.next);
                    ASSERT_EQ(a.block_pos, b.block_pos);
                }
            }
        }
    }
}

}  // namespace
