// Sequencer timing through the mixer: the lead-in, row lengths in frames and the song's end.
#include <gtest/gtest.h>

#include <vector>

#include "mod_builder.h"

namespace {

struct Counter {
    int ticks = 0;
    int rows = 0;
    std::vector<int> row_numbers;
    ModPlayer* player = nullptr;
};

void on_tick(void* data) {
    ++static_cast<Counter*>(data)->ticks;
}
void on_row(void* data) {
    auto* c = static_cast<Counter*>(data);
    ++c->rows;
    c->row_numbers.push_back(c->player->row);
}

struct Counted {
    TestPlayer p;
    Counter counter;
    std::vector<int32_t> acc;
    explicit Counted(const ModBuilder& b) : p(b.build()) {
        counter.player = p.get();
        player_set_tick_callback(p.get(), on_tick, &counter);
        player_set_row_callback(p.get(), on_row, &counter);
    }
    void render(int32_t frames) {
        acc.assign(2 * static_cast<size_t>(frames), 0);
        player_render(p.get(), acc.data(), frames);
    }
};

ModBuilder one_note() {
    ModBuilder b;
    b.sample(1, flat_sample(1000, 100)).cell(0, 0, 0, 1, 428, 0);
    return b;
}

TEST(Sequencer, SixTicksAnd5292FramesBeforeTheFirstRow) {
    Counted c(one_note());
    c.render(5291);
    EXPECT_EQ(c.counter.ticks, 5);
    EXPECT_EQ(c.counter.rows, 0);
    for (int32_t v : c.acc) ASSERT_EQ(v, 0);
    c.render(1);
    EXPECT_EQ(c.counter.ticks, 6);
    EXPECT_EQ(c.counter.rows, 1);
    EXPECT_EQ(c.p->row, 0);
    EXPECT_EQ(c.p->order_pos, 0);
}

// The first frame after the lead-in (index 5292) still mixes the interpolation start left by
// voice_init, so sound begins one frame later than "from the next frame on" suggests.
TEST(Sequencer, FirstNonZeroFrameAfterLeadInIs5293Not5292) {
    Counted c(one_note());
    c.render(5300);
    int first = -1;
    for (int i = 0; i < 5300 && first < 0; ++i) {
        if (c.acc[i] != 0) first = i;
    }
    EXPECT_EQ(first, 5293);
}

// A note starts at byte 2; the first block after the restart holds bytes 2..257 and its index
// 0 is skipped, so the first source sample heard is byte 3.
TEST(Sequencer, Byte2OfRestartedSampleFallsOnSkippedIndex0OfFreshBlock) {
    TestSample s;
    for (int k = 0; k < 600; ++k) s.data.push_back(static_cast<int8_t>(k % 100));
    s.loop_length = 600;
    ModBuilder b;
    b.sample(1, s).cell(0, 0, 0, 1, 428, 0);
    Counted c(b);
    c.render(5293);
    EXPECT_EQ(c.p->voices[0].block_pos, 1);
    EXPECT_EQ(c.p->voices[0].prev, 0);
    EXPECT_EQ(c.p->voices[0].next, 3 << 23);
    EXPECT_EQ(c.p->channels[0].sample_pos, 258u);
}

TEST(Sequencer, OneRowPer5292Frames) {
    ModBuilder b = one_note();
    Counted c(b);
    c.render(5292);
    for (int r = 1; r <= 10; ++r) {
        c.render(5291);
        EXPECT_EQ(c.counter.rows, r);
        c.render(1);
        EXPECT_EQ(c.counter.rows, r + 1);
    }
    EXPECT_EQ(c.counter.ticks, 6 * 11);
}

TEST(Sequencer, LoopingSongPlaysItsPatternAgainAndAgain) {
    ModBuilder b = one_note();
    Counted c(b);
    player_set_looping(c.p.get(), 1);
    c.render(5292 * 200);
    EXPECT_EQ(c.counter.rows, 200);
    for (int i = 0; i < 200; ++i) ASSERT_EQ(c.counter.row_numbers[i], i % 64);
    EXPECT_EQ(player_has_ended(c.p.get()), 0);
}

TEST(Sequencer, SongWithoutLoopingEndsAtTheStartOfRow63OfItsLastOrder) {
    ModBuilder b = one_note();
    Counted c(b);
    c.render(5292 * 70);
    EXPECT_EQ(c.counter.rows, 63);
    EXPECT_EQ(c.counter.row_numbers.back(), 62);
    EXPECT_EQ(player_has_ended(c.p.get()), 1);
    EXPECT_EQ(c.counter.ticks, 6 * 64);  // the tick callback runs on the ending tick too
}

TEST(Sequencer, JumpBackwardsEndsASongWithoutLooping) {
    ModBuilder b(2);
    b.song_length(2).order(1, 1).cell(1, 2, 3, 0, 0, 0xB00);
    Counted c(b);
    c.render(5292 * 200);
    EXPECT_EQ(c.counter.rows, 64 + 3);
    EXPECT_EQ(player_has_ended(c.p.get()), 1);
}

TEST(Sequencer, JumpToTheCurrentOrderPlaysOn) {
    ModBuilder b(2);
    b.song_length(2).order(1, 1).cell(1, 2, 3, 0, 0, 0xB01);
    Counted c(b);
    c.render(5292 * 200);
    EXPECT_EQ(c.counter.rows, 200);
    EXPECT_EQ(player_has_ended(c.p.get()), 0);
    EXPECT_EQ(c.counter.row_numbers.back(), (200 - 65) % 3);
}

TEST(Sequencer, TempoChangeTakesEffectOnTheSameRow) {
    ModBuilder b = one_note();
    b.cell(0, 0, 1, 0, 0, 0xF20);  // 3675 frames per tick
    Counted c(b);
    c.render(5292);
    c.render(3675 * 6 - 1);
    EXPECT_EQ(c.counter.rows, 1);
    c.render(1);
    EXPECT_EQ(c.counter.rows, 2);
}

}  // namespace
