// Sequencer timing through the mixer: the lead-in, row lengths in frames and the song's end.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "mod_builder.h"

namespace {

// A player whose tick and row callbacks are counted, rendering into its own buffer.
struct Counted {
    TestPlayer p;
    int ticks = 0;
    std::vector<int> rows;    // the row number at each row callback
    std::vector<int> orders;  // and the order
    std::vector<int32_t> acc;
    static void on_tick(void* d) { ++static_cast<Counted*>(d)->ticks; }
    static void on_row(void* d) {
        auto* c = static_cast<Counted*>(d);
        c->rows.push_back(c->p->row);
        c->orders.push_back(c->p->order_pos);
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

ModBuilder one_note(const TestSample& s = flat_sample(1000, 100), int patterns = 1) {
    return std::move(ModBuilder(patterns).sample(1, s).cell(0, 0, 0, 1, 428, 0));
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

// Ticks last 2.5 x 44100 / tempo frames on average, the fraction carried from tick to tick:
// over 1000 ticks the frames add up to the exact total within one frame, each tick within one
// frame of the exact length, and tempo 125 gives 882 every time. So also when every row, a
// tick long, sets its tempo again on two channels.
TEST(Sequencer, TickLengthsAddUpToTheExactTempo) {
    struct Case {
        int tempo;
        bool every_row_twice;
    };
    const Case cases[] = {{125, false}, {127, false}, {32, false}, {33, false},
                          {255, false}, {36, true},   {127, true}};
    for (const auto [tempo, every_row_twice] : cases) {
        const auto f_tempo = static_cast<uint16_t>(0xF00 | tempo);
        ModBuilder song = one_note().cell(0, 0, 1, 0, 0, f_tempo);
        if (every_row_twice) {
            song.cell(0, 0, 3, 0, 0, 0xF01);  // speed 1
            for (int row = 0; row < MOD_ROWS; ++row)
                song.cell(0, row, 1, 0, 0, f_tempo).cell(0, row, 2, 0, 0, f_tempo);
        }
        struct Clock {
            int ticks = 0;
            int64_t frame = 0;
            std::vector<int64_t> ends;  // the frame after which each tick ended
        } clock;
        TestPlayer p(song.build());
        player_set_looping(p.get(), 1);
        // Rendering one frame at a time, a tick ending in this call ends after frame + 1.
        player_set_tick_callback(
            p.get(),
            [](void* d) {
                auto* clock = static_cast<Clock*>(d);
                clock->ends.push_back(clock->frame + 1);
            },
            &clock);
        std::vector<int32_t> acc(2);
        for (; clock.ends.size() < 6 + 1000; ++clock.frame) player_render(p.get(), acc.data(), 1);
        const double exact = 2.5 * 44100 / tempo;
        for (size_t t = 7; t < clock.ends.size(); ++t) {
            const int64_t length = clock.ends[t] - clock.ends[t - 1];
            if (tempo == 125) {
                ASSERT_EQ(length, 882) << t;
            }
            ASSERT_LE(std::abs(static_cast<double>(length) - exact), 1.0) << tempo << " tick " << t;
        }
        const double total = static_cast<double>(clock.ends.back() - clock.ends[5]);
        EXPECT_LE(std::abs(total - 1000 * exact), 1.0) << tempo;
    }
}

TEST(Sequencer, SongEnds) {
    struct Case {
        const char* what;
        ModBuilder song;
        size_t rows;               // rows played without looping before the song ends
        int order, row;            // the last row played
        int next_order, next_row;  // with looping, the row played after it
    };
    auto two = [] {
        return std::move(one_note(flat_sample(1000, 100), 2).song_length(2).order(1, 1));
    };
    auto three = [] {
        return std::move(
            one_note(flat_sample(1000, 100), 3).song_length(3).order(1, 1).order(2, 2));
    };
    const Case cases[] = {
        {"the last row of the last order plays", one_note(), 64, 0, 63, 0, 0},
        {"B to order 0 from order 0", one_note().cell(0, 5, 1, 0, 0, 0xB00), 6, 0, 5, 0, 0},
        {"D at the last order", one_note().cell(0, 3, 1, 0, 0, 0xD05), 4, 0, 3, 0, 5},
        {"a jump back to a played order", two().cell(1, 2, 3, 0, 0, 0xB00), 64 + 3, 1, 2, 0, 0},
        {"a jump to the current order's played start", two().cell(1, 2, 3, 0, 0, 0xB01), 64 + 3, 1,
         2, 1, 0},
        {"F00 ends the song after its row", two().cell(0, 7, 2, 0, 0, 0xF00), 8, 0, 7, 0, 0},
        // A row's effects apply in channel order: the last speed command of the row decides.
        {"F00 with a speed set after it plays on",
         two().cell(0, 7, 1, 0, 0, 0xF00).cell(0, 7, 2, 0, 0, 0xF06), 128, 1, 63, 0, 0},
        {"F00 after a speed ends the song",
         two().cell(0, 7, 1, 0, 0, 0xF06).cell(0, 7, 2, 0, 0, 0xF00), 8, 0, 7, 0, 0},
        {"B past the song's end is order 0", two().cell(1, 9, 2, 0, 0, 0xB09), 64 + 10, 1, 9, 0, 0},
        // Jumps to rows not played yet are no end; the first row played again is.
        {"a jump forward over an order", three().cell(0, 1, 2, 0, 0, 0xB02), 2 + 64, 2, 63, 0, 0},
        {"a jump back to rows skipped by a break",
         two().cell(0, 1, 2, 0, 0, 0xD32).cell(1, 40, 1, 0, 0, 0xB01).cell(1, 40, 2, 0, 0, 0xD10),
         2 + 9 + 22, 1, 31, 1, 32},
        {"a pattern loop's repeats",
         one_note().cell(0, 1, 2, 0, 0, 0xE60).cell(0, 3, 2, 0, 0, 0xE62), 64 + 6, 0, 63, 0, 0},
    };
    for (const Case& c : cases) {
        Counted once(c.song);
        once.render(5292 * 200);
        ASSERT_EQ(once.rows.size(), c.rows) << c.what;
        EXPECT_EQ(once.orders.back(), c.order) << c.what;
        EXPECT_EQ(once.rows.back(), c.row) << c.what;
        EXPECT_EQ(player_has_ended(once.p.get()), 1) << c.what;
        EXPECT_EQ(once.ticks, 6 * static_cast<int>(c.rows + 1)) << c.what;  // the ending tick too
        const auto image = c.song.build();
        EXPECT_EQ(
            player_song_frames(44100, image.data(), static_cast<uint32_t>(image.size()), ~0ull),
            882u * 6 * (c.rows + 1))
            << c.what;

        // Looping, the song plays on from there: the row after the restart follows it.
        Counted looping(c.song, true);
        looping.render(5292 * static_cast<int32_t>(c.rows + 4));
        ASSERT_GT(looping.rows.size(), c.rows + 2) << c.what;
        EXPECT_EQ(looping.orders[c.rows], c.next_order) << c.what;
        EXPECT_EQ(looping.rows[c.rows], c.next_row) << c.what;
        EXPECT_EQ(looping.rows[c.rows + 1], c.next_row + 1) << c.what;
        EXPECT_EQ(player_has_ended(looping.p.get()), 0) << c.what;
    }
}

// A song measured only so far gives that far (the lead-in and 64 rows of 5292 frames here),
// and a song that never ends gives the limit.
TEST(Sequencer, SongFramesStopAtTheLimit) {
    const auto image = one_note().build();
    const auto size = static_cast<uint32_t>(image.size());
    const uint64_t whole = 65 * 5292;
    for (uint64_t limit : {uint64_t{1}, uint64_t{5292}, whole - 1, whole, whole + 1, ~uint64_t{0}})
        EXPECT_EQ(player_song_frames(44100, image.data(), size, limit), std::min(limit, whole));
    // Two pattern loops of one channel share its count: the inner one's repeats use up the
    // outer one's, which starts it again, for ever.
    const auto endless = ModBuilder()
                             .cell(0, 0, 0, 0, 0, 0xE60)
                             .cell(0, 1, 0, 0, 0, 0xE61)
                             .cell(0, 2, 0, 0, 0, 0xE62)
                             .build();
    const uint64_t hour = 44100ull * 3600;
    EXPECT_EQ(
        player_song_frames(44100, endless.data(), static_cast<uint32_t>(endless.size()), hour),
        hour);
    const std::vector<uint8_t> junk(100, 0);
    EXPECT_EQ(player_song_frames(44100, junk.data(), 100, whole), 0u);
}

// A restarted voice starts from silence toward the new note's own samples: the first frames
// after the restart are no louder than those samples at the new volume, whatever the old
// sound's last value and volume were.
TEST(Sequencer, NoteStartsDoNotCarryTheOldSoundsLastValue) {
    // Sample 1: full scale; sample 2: near silence at first, then loud; sample 3: most negative.
    const TestSample loud = flat_sample(1024, 127);
    TestSample late;
    late.data.assign(1024, 0);
    for (size_t k = 512; k < 1024; ++k) late.data[k] = 127;
    late.loop_start = 512;
    late.loop_length = 512;
    const TestSample low = flat_sample(1024, -128);
    struct Case {
        const char* what;
        uint8_t first;   // sample of the note on row 0, faded out on row 1
        uint8_t sample;  // row 2's cell
        uint16_t period, effect;
    };
    const Case cases[] = {
        {"another sample", 1, 2, 428, 0},
        {"a bare sample number", 3, 2, 0, 0},
        {"the same sample again by period", 2, 0, 428, 0},
        {"a note under a new volume", 3, 2, 428, 0xC40},
        {"a retriggered note", 2, 2, 428, 0xE93},
    };
    for (const Case& c : cases) {
        ModBuilder b;
        b.sample(1, loud).sample(2, late).sample(3, low);
        b.cell(0, 0, 0, c.first, 428, 0)
            .cell(0, 1, 0, 0, 0, 0xC00)
            .cell(0, 2, 0, c.sample, c.period, c.effect);
        Counted counted(b);
        counted.render(5292 * 3 + 2600);
        // Row 1 is silent (C00) and the new note's first 512 bytes are 0: so is everything
        // from the restart on, for the 2720 frames those bytes last at period 428.
        for (int32_t i = 5292 * 2; i < 5292 * 3 + 2600; ++i)
            ASSERT_EQ(counted.acc[static_cast<size_t>(i)], 0) << c.what << " frame " << i;
    }
}

}  // namespace
