// Sequencer timing through the mixer: the lead-in, row lengths in frames and the song's end.
#include <gtest/gtest.h>

#include <vector>

#include "mod_builder.h"

namespace {

// A player whose tick and row callbacks are counted, rendering into its own buffer.
struct Counted {
    TestPlayer p;
    int ticks = 0;
    std::vector<int> rows;  // the row number at each row callback
    std::vector<int32_t> acc;
    static void on_tick(void* d) { ++static_cast<Counted*>(d)->ticks; }
    static void on_row(void* d) {
        static_cast<Counted*>(d)->rows.push_back(static_cast<Counted*>(d)->p->row);
    }
    explicit Counted(const ModBuilder& b, bool looping = false) : p(b.build()) {
        player_set_looping(p.get(), looping);
        player_set_tick_callback(p.get(), on_tick, this);
        player_set_row_callback(p.get(), on_row, this);
    }
    void render(int32_t frames) {
        acc.assign(2 * static_cast<size_t>(frames), 0);
        player_render(p.get(), acc.data(), frames);
    }
};

ModBuilder one_note(const TestSample& s = flat_sample(1000, 100)) {
    return std::move(ModBuilder().sample(1, s).cell(0, 0, 0, 1, 428, 0));
}

TEST(Sequencer, SixTicksAnd5292FramesBeforeTheFirstRow) {
    Counted c(one_note());
    c.render(5291);
    EXPECT_EQ(c.ticks, 5);
    EXPECT_TRUE(c.rows.empty());
    for (int32_t v : c.acc) ASSERT_EQ(v, 0);
    c.render(1);
    EXPECT_EQ(c.ticks, 6);
    EXPECT_EQ(c.rows, std::vector<int>{0});
    EXPECT_EQ(c.p->order_pos, 0);
}

// The first frame after the lead-in (index 5292) still mixes the interpolation start left by
// voice_init, so sound begins one frame later than "from the next frame on" suggests.
TEST(Sequencer, FirstNonZeroFrameAfterLeadInIs5293Not5292) {
    Counted c(one_note());
    c.render(5300);
    EXPECT_EQ(
        std::find_if(c.acc.begin(), c.acc.end(), [](int32_t v) { return v != 0; }) - c.acc.begin(),
        5293);
}

// A note starts at byte 2; the first block after the restart holds bytes 2..257 and its index
// 0 is skipped, so the first source sample heard is byte 3.
TEST(Sequencer, Byte2OfRestartedSampleFallsOnSkippedIndex0OfFreshBlock) {
    TestSample s;
    s.data = ramp(600, 100);
    s.loop_length = 600;
    Counted c(one_note(s));
    c.render(5293);
    EXPECT_EQ(c.p->voices[0].block_pos, 1);
    EXPECT_EQ(c.p->voices[0].prev, 0);
    EXPECT_EQ(c.p->voices[0].next, 3 << 23);
    EXPECT_EQ(c.p->channels[0].sample_pos, 258u);
}

TEST(Sequencer, RowLengthInFramesFollowsTheTempoFromTheSameRow) {
    for (auto [effect, frames] : {std::pair{0x000, 5292}, {0xF20, 6 * 3675}}) {
        Counted c(one_note().cell(0, 0, 1, 0, 0, static_cast<uint16_t>(effect)));
        c.render(5292);
        for (size_t r = 1; r <= 10; ++r) {
            c.render(frames - 1);
            EXPECT_EQ(c.rows.size(), r) << std::hex << effect;
            c.render(1);
            EXPECT_EQ(c.rows.size(), r + 1) << std::hex << effect;
        }
        EXPECT_EQ(c.ticks, 6 * 11);
    }
}

TEST(Sequencer, SongEnds) {
    struct Case {
        const char* what;
        uint16_t effect;  // on pattern 1, row 2 (order 1); 0: a one-pattern song
        bool looping;
        size_t rows;
        int last_row, ended;
    };
    const Case cases[] = {
        {"looping", 0, true, 200, 199 % 64, 0},
        {"ends at the start of row 63 of the last order", 0, false, 63, 62, 1},
        {"a jump backwards ends it", 0xB00, false, 64 + 3, 2, 1},
        {"a jump to the current order plays on", 0xB01, false, 200, (200 - 65) % 3, 0},
    };
    for (const Case& c : cases) {
        ModBuilder b = one_note();
        if (c.effect)
            b = std::move(ModBuilder(2).song_length(2).order(1, 1).cell(1, 2, 3, 0, 0, c.effect));
        Counted counted(b, c.looping);
        counted.render(5292 * 200);
        EXPECT_EQ(counted.rows.size(), c.rows) << c.what;
        EXPECT_EQ(counted.rows.back(), c.last_row) << c.what;
        EXPECT_EQ(player_has_ended(counted.p.get()), c.ended) << c.what;
        EXPECT_EQ(counted.ticks, 6 * (c.rows + c.ended)) << c.what;  // the ending tick too
    }
}

}  // namespace
