// The mixer: runs split at tick boundaries, the song's end inside a buffer, channel routing and
// the 16-bit and 8-bit conversions.
#include <gtest/gtest.h>

#include <vector>

#include "mod_builder.h"

namespace {

// Four busy channels with effects that change pitch and volume every tick.
ModBuilder busy() {
    TestSample wave;
    for (int k = 0; k < 512; ++k) wave.data.push_back(static_cast<int8_t>((k * 7) % 200 - 100));
    wave.loop_start = 64;
    wave.loop_length = 448;
    ModBuilder b;
    b.sample(1, wave).sample(2, flat_sample(300, -60, 50));
    const uint16_t effects[4] = {0x037, 0x4A4, 0xA01, 0x744};
    for (int r = 0; r < 64; r += 4) {
        for (int c = 0; c < 4; ++c)
            b.cell(0, r, c, static_cast<uint8_t>(1 + (c & 1)), 300 + 20 * c + r, effects[c]);
    }
    return b;
}

TEST(Render, BufferSizeDoesNotChangeTheOutput) {
    TestPlayer whole(busy().build()), pieces(busy().build());
    const int32_t n = 60000;
    std::vector<int32_t> one(2 * n), acc(2 * 777);
    player_render(whole.get(), one.data(), n);
    for (int32_t done = 0; done < n; done += 777) {
        const int32_t k = std::min<int32_t>(777, n - done);
        player_render(pieces.get(), acc.data(), k);
        for (int32_t i = 0; i < k; ++i) {
            ASSERT_EQ(acc[i], one[done + i]) << "left " << done + i;
            ASSERT_EQ(acc[k + i], one[n + done + i]) << "right " << done + i;
        }
    }
    EXPECT_EQ(whole->tick, pieces->tick);
}

TEST(Render, TickBoundariesAndZeroFrames) {
    TestPlayer p(busy().build());
    int ticks = 0;
    player_set_tick_callback(
        p.get(), [](void* d) { ++*static_cast<int*>(d); }, &ticks);
    std::vector<int32_t> acc(2 * 882, 5);
    player_render(p.get(), acc.data(), 0);
    EXPECT_EQ(acc[0], 5);
    EXPECT_EQ(ticks, 0);
    player_render(p.get(), acc.data(), 881);
    EXPECT_EQ(ticks, 0);
    player_render(p.get(), acc.data(), 0);
    EXPECT_EQ(p->tick_sample_pos, 881);
    player_render(p.get(), acc.data(), 1);  // a buffer ending at a tick boundary runs the tick
    EXPECT_EQ(ticks, 1);
    EXPECT_EQ(p->tick_sample_pos, 0);
    player_render(p.get(), acc.data(), 882);
    EXPECT_EQ(ticks, 2);
}

TEST(Render, SongEndInsideABufferLeavesTheRestSilent) {
    TestPlayer p(ModBuilder()
                     .sample(1, flat_sample(1000, 100))
                     .cell(0, 0, 0, 1, 428, 0)
                     .cell(0, 63, 1, 1, 428, 0)  // the last row sounds on the right
                     .build());
    const int32_t end = 5292 * 65;  // row 63 plays; the song ends at the row start after it
    const int32_t n = end + 5000;
    std::vector<int32_t> acc(2 * static_cast<size_t>(n), 0);
    player_render(p.get(), acc.data(), n);
    EXPECT_EQ(player_has_ended(p.get()), 1);
    EXPECT_NE(acc[end - 1], 0);
    EXPECT_NE(acc[n + end - 1], 0);
    EXPECT_EQ(acc[n + end - 5292 - 1], 0);  // nothing on the right before row 63
    for (int32_t i = end; i < n; ++i) {
        ASSERT_EQ(acc[i], 0) << i;
        ASSERT_EQ(acc[n + i], 0) << i;
    }
    std::fill(acc.begin(), acc.end(), 9);
    player_render(p.get(), acc.data(), 100);  // once ended, only silence
    for (int i = 0; i < 200; ++i) ASSERT_EQ(acc[i], 0);
}

TEST(Render, RoutingAndTheMostNegativeSumOverSeveralPasses) {
    // Channels 0 and 3 (left) at full scale on -128; channels 1 and 2 (right) silent.
    const auto image = ModBuilder()
                           .sample(1, flat_sample(1000, -128))
                           .cell(0, 0, 0, 1, 428, 0)
                           .cell(0, 0, 3, 1, 428, 0)
                           .build();
    TestPlayer p16(image), p8(image);
    const int32_t n = 5300 + 3 * 1024;  // several of the converters' 1024-frame passes
    std::vector<int16_t> s16(2 * n);
    std::vector<uint8_t> u8(2 * n);
    player_render_s16(p16.get(), s16.data(), n);
    player_render_u8(p8.get(), u8.data(), n);
    EXPECT_EQ(s16[0], 0);
    EXPECT_EQ(u8[0], 128);
    for (int32_t i = 5300; i < n; ++i) {
        ASSERT_EQ(s16[2 * i], -32768) << i;
        ASSERT_EQ(s16[2 * i + 1], 0) << i;
        ASSERT_EQ(u8[2 * i], 0) << i;
        ASSERT_EQ(u8[2 * i + 1], 128) << i;
    }
}

}  // namespace
