// The mixer: runs split at tick boundaries, channel routing, the song's end inside a buffer and
// the 16-bit and 8-bit conversions.
#include <gtest/gtest.h>

#include <vector>

#include "mod_builder.h"

namespace {

void count(void* data) {
    ++*static_cast<int*>(data);
}

// Four busy channels with effects that change pitch and volume every tick.
ModBuilder busy() {
    ModBuilder b;
    TestSample wave;
    for (int k = 0; k < 512; ++k) wave.data.push_back(static_cast<int8_t>((k * 7) % 200 - 100));
    wave.loop_start = 64;
    wave.loop_length = 448;
    b.sample(1, wave).sample(2, flat_sample(300, -60, 50));
    const uint16_t effects[4] = {0x037, 0x4A4, 0xA01, 0x744};
    for (int r = 0; r < 64; r += 4) {
        for (int c = 0; c < 4; ++c)
            b.cell(0, r, c, static_cast<uint8_t>(1 + (c & 1)), 300 + 20 * c + r, effects[c]);
    }
    return b;
}

TEST(Render, BufferSizeDoesNotChangeTheOutput) {
    TestPlayer whole(busy().build());
    TestPlayer pieces(busy().build());
    const int32_t n = 60000;
    std::vector<int32_t> one(2 * n);
    player_render(whole.get(), one.data(), n);
    std::vector<int32_t> left, right;
    for (int32_t done = 0; done < n;) {
        const int32_t k = std::min<int32_t>(777, n - done);
        std::vector<int32_t> acc(2 * k);
        player_render(pieces.get(), acc.data(), k);
        left.insert(left.end(), acc.begin(), acc.begin() + k);
        right.insert(right.end(), acc.begin() + k, acc.end());
        done += k;
    }
    EXPECT_TRUE(std::equal(left.begin(), left.end(), one.begin()));
    EXPECT_TRUE(std::equal(right.begin(), right.end(), one.begin() + n));
    EXPECT_EQ(whole->tick, pieces->tick);
}

TEST(Render, BufferEndingAtATickBoundaryRunsTheTick) {
    TestPlayer p(busy().build());
    int ticks = 0;
    player_set_tick_callback(p.get(), count, &ticks);
    std::vector<int32_t> acc(2 * 882);
    player_render(p.get(), acc.data(), 881);
    EXPECT_EQ(ticks, 0);
    player_render(p.get(), acc.data(), 1);
    EXPECT_EQ(ticks, 1);
    EXPECT_EQ(p->tick_sample_pos, 0);
    player_render(p.get(), acc.data(), 882);  // a fresh tick with a full run
    EXPECT_EQ(ticks, 2);
}

TEST(Render, ZeroFramesTouchNothing) {
    TestPlayer p(busy().build());
    int ticks = 0;
    player_set_tick_callback(p.get(), count, &ticks);
    p->tick_sample_pos = 881;
    int32_t acc[2] = {5, 6};
    player_render(p.get(), acc, 0);
    EXPECT_EQ(acc[0], 5);
    EXPECT_EQ(acc[1], 6);
    EXPECT_EQ(ticks, 0);
    EXPECT_EQ(p->tick_sample_pos, 881);
}

TEST(Render, SongEndInsideABufferLeavesTheRestSilent) {
    ModBuilder b;
    b.sample(1, flat_sample(1000, 100)).cell(0, 0, 0, 1, 428, 0).cell(0, 0, 1, 1, 428, 0);
    TestPlayer p(b.build());
    const int32_t end = 5292 * 64;  // the start of row 63
    const int32_t n = end + 5000;
    std::vector<int32_t> acc(2 * static_cast<size_t>(n), 0);
    player_render(p.get(), acc.data(), n);
    EXPECT_EQ(player_has_ended(p.get()), 1);
    EXPECT_NE(acc[end - 1], 0);
    EXPECT_NE(acc[n + end - 1], 0);
    for (int32_t i = end; i < n; ++i) {
        ASSERT_EQ(acc[i], 0) << i;
        ASSERT_EQ(acc[n + i], 0) << i;
    }
    std::fill(acc.begin(), acc.end(), 9);
    player_render(p.get(), acc.data(), 100);  // once ended, only silence
    for (int i = 0; i < 200; ++i) ASSERT_EQ(acc[i], 0);
}

TEST(Render, RoutingAndTheMostNegativeSum) {
    // Channels 0 and 3 (left) at full scale on -128; channels 1 and 2 (right) silent.
    ModBuilder b;
    b.sample(1, flat_sample(1000, -128)).cell(0, 0, 0, 1, 428, 0).cell(0, 0, 3, 1, 428, 0);
    TestPlayer p16(b.build());
    TestPlayer p8(b.build());
    const int32_t n = 6000;
    std::vector<int16_t> s16(2 * n);
    std::vector<uint8_t> u8(2 * n);
    player_render_s16(p16.get(), s16.data(), n);
    player_render_u8(p8.get(), u8.data(), n);
    EXPECT_EQ(s16[0], 0);
    EXPECT_EQ(u8[0], 128);
    EXPECT_EQ(s16[2 * 5999], -32768);
    EXPECT_EQ(s16[2 * 5999 + 1], 0);
    EXPECT_EQ(u8[2 * 5999], 0);
    EXPECT_EQ(u8[2 * 5999 + 1], 128);
}

TEST(Render, S16IsTheHalvedPlanesInterleavedAtAnyLength) {
    TestPlayer a(busy().build());
    TestPlayer b(busy().build());
    const int32_t n = 3000;  // more than one internal pass
    std::vector<int16_t> out(2 * n);
    player_render_s16(a.get(), out.data(), n);
    for (int32_t done = 0; done < n; done += RENDER_CHUNK) {
        const int32_t k = std::min(RENDER_CHUNK, n - done);
        std::vector<int32_t> acc(2 * k);
        player_render(b.get(), acc.data(), k);
        for (int32_t i = 0; i < k; ++i) {
            ASSERT_EQ(out[2 * (done + i)], static_cast<int16_t>(acc[i] >> 1));
            ASSERT_EQ(out[2 * (done + i) + 1], static_cast<int16_t>(acc[k + i] >> 1));
        }
    }
}

}  // namespace
