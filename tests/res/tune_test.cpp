// The committed tune meets the show's timeline: row r starts at tick 6 (r + 1)
// at tempo 125, the opening's hits fall on rows 152 and 153 after three silent
// rows, every fourth row of the main part (from row 168) has a kick, and after
// at least 60 s the main part starts again, never the opening.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "music/module.h"
#include "tune.h"

namespace {

constexpr uint32_t kMainRow = 168, kMainRows = 512;
constexpr uint8_t kMainOrder = 3;

struct RowStart {
    uint32_t tick;
    uint8_t order, row, tempo;
    uint8_t sample[4];  // instruments of the row's cells
};

// The opening, the main part twice over and a little more, rendered as the show
// renders it.
struct Playback {
    ModPlayer* player = nullptr;
    uint32_t ticks = 0;
    std::vector<RowStart> rows;
};

TEST(Tune, KeepsTheShowsTimeline) {
    std::ifstream in("res/brumo.mod", std::ios::binary);
    const std::vector<uint8_t> image(std::istreambuf_iterator<char>(in), {});
    Playback b;
    b.player = player_create(44100, image.data(), uint32_t(image.size()));
    ASSERT_NE(b.player, nullptr);
    player_set_looping(b.player, 1);
    player_set_tick_callback(
        b.player, [](void* d) { ++static_cast<Playback*>(d)->ticks; }, &b);
    player_set_row_callback(
        b.player,
        [](void* d) {
            auto* r = static_cast<Playback*>(d);
            const ModPlayer* p = r->player;
            const auto& cells = p->patterns[p->order_table[p->order_pos]][p->row];
            r->rows.push_back(
                {r->ticks,
                 p->order_pos,
                 p->row,
                 p->tempo,
                 {cells[0].sample, cells[1].sample, cells[2].sample, cells[3].sample}});
        },
        &b);
    std::vector<int16_t> buffer(2 * 1024);
    while (b.rows.size() < kMainRow + 2 * kMainRows + 8)
        player_render_s16(b.player, buffer.data(), 1024);
    player_free(b.player);

    const std::vector<RowStart>& rows = b.rows;
    for (uint32_t r = 0; r < rows.size(); ++r) {
        EXPECT_TRUE(rows[r].tick == 6 * (r + 1) && rows[r].tempo == 125) << "row " << r;
        if (r < kMainRow) continue;
        ASSERT_GE(rows[r].order, kMainOrder) << "the opening came back at row " << r;
        const uint8_t s = rows[r].sample[0];
        EXPECT_TRUE(r % 4 != 0 || s == KICK || s == KICK_SNARE) << "no kick on row " << r;
        const bool main_start = rows[r].order == kMainOrder && rows[r].row == 0;
        EXPECT_EQ(main_start, (r - kMainRow) % kMainRows == 0) << "row " << r;
    }
    for (uint32_t r : {152u, 153u})
        EXPECT_TRUE(rows[r].sample[0] == KICK && rows[r].sample[2] == CRASH) << "row " << r;
    for (uint32_t r : {149u, 150u, 151u})
        for (int c = 0; c < 4; ++c) EXPECT_EQ(rows[r].sample[c], 0) << "row " << r;
    EXPECT_GE((rows[kMainRow + kMainRows].tick - rows[kMainRow].tick) / 50, 60u);
}

}  // namespace
