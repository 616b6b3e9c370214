// The song's end, with and without looping, and its measured length.
#include <gtest/gtest.h>

#include <vector>

#include "mod_builder.h"

namespace {

ModBuilder one_note(int patterns = 1) {
    return std::move(
        ModBuilder(patterns).sample(1, flat_sample(1000, 100)).cell(0, 0, 0, 1, 428, 0));
}

// A player whose row starts are recorded, rendering `frames` into its own buffer.
struct Counted {
    TestPlayer p;
    int ticks = 0;
    std::vector<std::pair<int, int>> rows;  // order and row
    Counted(const ModBuilder& b, bool looping, int32_t frames) : p(b.build()) {
        player_set_looping(p.get(), looping);
        player_set_tick_callback(
            p.get(), [](void* d) { ++static_cast<Counted*>(d)->ticks; }, this);
        player_set_row_callback(
            p.get(),
            [](void* d) {
                auto* c = static_cast<Counted*>(d);
                c->rows.emplace_back(c->p->order_pos, c->p->row);
            },
            this);
        std::vector<int32_t> acc(2 * size_t(frames));
        player_render(p.get(), acc.data(), frames);
    }
};

TEST(Sequencer, SongEnds) {
    struct Case {
        const char* what;
        ModBuilder song;
        size_t rows;               // rows played without looping before the song ends
        int order, row;            // the last row played
        int next_order, next_row;  // with looping, the row played after it
    };
    auto two = [] { return std::move(one_note(2).song_length(2).order(1, 1)); };
    auto three = [] { return std::move(one_note(3).song_length(3).order(1, 1).order(2, 2)); };
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
        // With B and D in one row, whichever channel holds which, the break's row in the jump's
        // order; a break past the pattern's end is row 0 of the next order.
        {"a jump back to rows skipped by a break",
         two().cell(0, 1, 2, 0, 0, 0xD32).cell(1, 40, 1, 0, 0, 0xB01).cell(1, 40, 2, 0, 0, 0xD10),
         2 + 9 + 22, 1, 31, 1, 32},
        {"the same with D before B",
         two().cell(0, 1, 2, 0, 0, 0xD32).cell(1, 40, 1, 0, 0, 0xD10).cell(1, 40, 2, 0, 0, 0xB01),
         2 + 9 + 22, 1, 31, 1, 32},
        {"a break past the pattern's end", two().cell(0, 5, 1, 0, 0, 0xD64), 6 + 64, 1, 63, 0, 0},
        {"a pattern loop's repeats",
         one_note().cell(0, 1, 2, 0, 0, 0xE60).cell(0, 3, 2, 0, 0, 0xE62), 64 + 6, 0, 63, 0, 0},
    };
    for (const Case& c : cases) {
        const Counted once(c.song, false, 5292 * 200);
        ASSERT_EQ(once.rows.size(), c.rows) << c.what;
        EXPECT_EQ(once.rows.back(), std::pair(c.order, c.row)) << c.what;
        EXPECT_EQ(player_has_ended(once.p.get()), 1) << c.what;
        EXPECT_EQ(once.ticks, 6 * int(c.rows + 1)) << c.what;  // the ending tick too
        // Measured, the song lasts as long; measured only so far, it gives that far.
        const auto image = c.song.build();
        const uint64_t frames = 882u * 6 * (c.rows + 1);
        for (uint64_t limit : {frames - 1, frames, UINT64_MAX})
            EXPECT_EQ(player_song_frames(44100, image.data(), uint32_t(image.size()), limit),
                      std::min(limit, frames))
                << c.what;

        // Looping, the song plays on from there: the row after the restart follows it.
        const Counted looping(c.song, true, 5292 * int32_t(c.rows + 4));
        ASSERT_GT(looping.rows.size(), c.rows + 2) << c.what;
        EXPECT_EQ(looping.rows[c.rows], std::pair(c.next_order, c.next_row)) << c.what;
        EXPECT_EQ(looping.rows[c.rows + 1], std::pair(c.next_order, c.next_row + 1)) << c.what;
        EXPECT_EQ(player_has_ended(looping.p.get()), 0) << c.what;
    }
}

}  // namespace
