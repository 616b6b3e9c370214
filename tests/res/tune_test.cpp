// The committed tune meets the show's timeline: row r starts at tick 6 (r + 1) up to the
// main part at row 168, the hits fall on rows 152 and 153, every fourth row of the main part
// has a kick, and after at least 60 seconds the main part starts again, never the opening.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "music/module.h"
#include "tune.h"

namespace {

constexpr uint32_t kMainRow = 168;
constexpr uint8_t kMainOrder = 3;
constexpr uint32_t kMainRows = 512;

struct RowStart {
    uint32_t tick;
    uint8_t order, row, tempo;
    uint8_t sample[4];  // instruments of the row's cells
};

// The opening, the main part twice over and a little more, rendered as the show renders it.
struct Playback {
    ModPlayer* player = nullptr;
    uint32_t ticks = 0;
    std::vector<RowStart> rows;

    Playback() {
        std::ifstream in("res/brumo.mod", std::ios::binary);
        const std::vector<uint8_t> image(std::istreambuf_iterator<char>(in), {});
        player = player_create(44100, image.data(), uint32_t(image.size()));
        if (player == nullptr) return;
        player_set_looping(player, 1);
        player_set_tick_callback(
            player, [](void* d) { ++static_cast<Playback*>(d)->ticks; }, this);
        player_set_row_callback(
            player,
            [](void* d) {
                auto* r = static_cast<Playback*>(d);
                const ModPlayer* p = r->player;
                RowStart start{r->ticks, p->order_pos, p->row, p->tempo, {}};
                for (int c = 0; c < 4; ++c)
                    start.sample[c] = p->patterns[p->order_table[p->order_pos]][p->row][c].sample;
                r->rows.push_back(start);
            },
            this);
        std::vector<int16_t> buffer(2 * 1024);
        while (rows.size() < kMainRow + 2 * kMainRows + 8)
            player_render_s16(player, buffer.data(), 1024);
        player_free(player);
    }
};

const std::vector<RowStart>& rows() {
    static const Playback playback;
    return playback.rows;
}

// The show's frames follow tick_count: every row, the opening and the main part twice through,
// starts at the tick it always has, and every tick lasts 1/50 s.
TEST(Tune, FirstPassKeepsTheTimeline) {
    ASSERT_GE(rows().size(), kMainRow + 2 * kMainRows);
    for (uint32_t r = 0; r < rows().size(); ++r) {
        EXPECT_EQ(rows()[r].tick, 6 * (r + 1)) << "row " << r;
        EXPECT_EQ(rows()[r].tempo, 125) << "row " << r;
    }
    EXPECT_EQ(rows()[kMainRow].order, kMainOrder);
    EXPECT_EQ(rows()[kMainRow].row, 0);
}

// The hits stand out: the rows just before them are silent.
TEST(Tune, FlashHitsLandOnRows152And153) {
    ASSERT_GE(rows().size(), 154u);
    for (uint32_t r : {152u, 153u})
        EXPECT_TRUE(rows()[r].sample[0] == KICK && rows()[r].sample[2] == CRASH) << "row " << r;
    for (uint32_t r : {149u, 150u, 151u})
        for (int c = 0; c < 4; ++c) EXPECT_EQ(rows()[r].sample[c], 0) << "row " << r;
}

// After at least a minute the main part starts over, never the opening.
TEST(Tune, MainPartKicksEveryFourthRowAndLoopsToItsStart) {
    ASSERT_GE(rows().size(), kMainRow + kMainRows + 1);
    for (uint32_t r = kMainRow; r < rows().size(); ++r) {
        ASSERT_GE(rows()[r].order, kMainOrder) << "the opening came back at row " << r;
        const uint8_t s = rows()[r].sample[0];
        EXPECT_TRUE(r % 4 != 0 || s == KICK || s == KICK_SNARE) << "no kick on row " << r;
        const bool main_start = rows()[r].order == kMainOrder && rows()[r].row == 0;
        EXPECT_EQ(main_start, (r - kMainRow) % kMainRows == 0) << "row " << r;
    }
    EXPECT_GE((rows()[kMainRow + kMainRows].tick - rows()[kMainRow].tick) / 50, 60u);
}

}  // namespace
