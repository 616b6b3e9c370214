// The committed tune meets the show's timeline: row r starts at tick 6 (r + 1) up to the
// main part at row 168, the hits fall on rows 152 and 153, every fourth row of the main part
// has a kick, and after at least 60 seconds the main part starts again, never the opening.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "music/module.h"
#include "tune.h"

namespace {

constexpr uint32_t kMainRow = 168;
constexpr uint8_t kMainOrder = 3;
constexpr uint32_t kMainRows = 512;

std::vector<uint8_t> read_module() {
    std::ifstream in("res/brumo.mod", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct RowStart {
    uint32_t tick;
    uint8_t order, row, speed, tempo;
    uint8_t sample[4];  // instruments of the row's cells
};

struct Recorder {
    ModPlayer* player = nullptr;
    uint32_t ticks = 0;
    std::vector<RowStart> rows;
};

void on_tick(void* data) {
    ++static_cast<Recorder*>(data)->ticks;
}

void on_row(void* data) {
    auto* r = static_cast<Recorder*>(data);
    ModPlayer* p = r->player;
    RowStart start{r->ticks, p->order_pos, p->row, p->speed, p->tempo, {}};
    const PatternCell* cells = p->patterns[p->order_table[p->order_pos]][p->row];
    for (int c = 0; c < 4; ++c) start.sample[c] = cells[c].sample;
    r->rows.push_back(start);
}

struct Playback {
    std::vector<uint8_t> image = read_module();
    Recorder recorder;
    std::vector<int16_t> audio;  // interleaved stereo

    explicit Playback(uint32_t rows_wanted) {
        recorder.player = player_create(44100, image.data(), static_cast<uint32_t>(image.size()));
        if (!recorder.player) return;
        player_set_looping(recorder.player, 1);
        player_set_tick_callback(recorder.player, on_tick, &recorder);
        player_set_row_callback(recorder.player, on_row, &recorder);
        std::vector<int16_t> buffer(2 * 1024);
        while (recorder.rows.size() < rows_wanted) {
            player_render_s16(recorder.player, buffer.data(), 1024);
            audio.insert(audio.end(), buffer.begin(), buffer.end());
        }
    }
    ~Playback() { player_free(recorder.player); }
};

class Tune : public testing::Test {
   protected:
    // The opening, the main part twice over and a little more.
    static void SetUpTestSuite() { playback = new Playback(kMainRow + 2 * kMainRows + 8); }
    static void TearDownTestSuite() { delete playback; }

   public:
    static Playback* playback;

   protected:
    const std::vector<RowStart>& rows() const { return playback->recorder.rows; }
};

Playback* Tune::playback = nullptr;

// The show's frames follow tick_count: every row of the first pass, the opening and the main
// part once through, starts at the tick it always has.
TEST_F(Tune, FirstPassKeepsTheTimeline) {
    ASSERT_NE(playback->recorder.player, nullptr);
    for (uint32_t r = 0; r < kMainRow + kMainRows; ++r) {
        EXPECT_EQ(rows()[r].tick, 6 * (r + 1)) << "row " << r;
        EXPECT_EQ(rows()[r].speed, 6) << "row " << r;
        EXPECT_EQ(rows()[r].tempo, 125) << "row " << r;
    }
    EXPECT_EQ(rows()[kMainRow].order, kMainOrder);
    EXPECT_EQ(rows()[kMainRow].row, 0);
}

TEST_F(Tune, FlashHitsLandOnRows152And153) {
    for (uint32_t r : {152u, 153u}) {
        EXPECT_EQ(rows()[r].sample[0], KICK) << "row " << r;
        EXPECT_EQ(rows()[r].sample[2], CRASH) << "row " << r;
    }
    // The rows just before them are silent, so the hits stand out.
    for (uint32_t r : {149u, 150u, 151u}) {
        for (int c = 0; c < 4; ++c) EXPECT_EQ(rows()[r].sample[c], 0) << "row " << r;
    }
}

TEST_F(Tune, MainPartKicksEveryFourthRowAndLoopsToItsStart) {
    for (uint32_t r = kMainRow; r < rows().size(); ++r) {
        ASSERT_GE(rows()[r].order, kMainOrder) << "the opening came back at row " << r;
        if (r % 4 == 0) {
            uint8_t s = rows()[r].sample[0];
            EXPECT_TRUE(s == KICK || s == KICK_SNARE) << "no kick on row " << r;
        }
        EXPECT_EQ(rows()[r].speed, 6);
        EXPECT_EQ(rows()[r].tempo, 125);
    }
    // At least a minute before the main part starts over.
    const RowStart& again = rows()[kMainRow + kMainRows];
    EXPECT_EQ(again.order, kMainOrder);
    EXPECT_EQ(again.row, 0);
    EXPECT_GE((again.tick - rows()[kMainRow].tick) / 50, 60u);
    for (uint32_t r = kMainRow + 1; r < kMainRow + kMainRows; ++r) {
        EXPECT_FALSE(rows()[r].order == kMainOrder && rows()[r].row == 0) << "row " << r;
    }
}

// Loud without clipping or offset: both sides reach near full scale, neither pins at the
// limits, and the mean stays near 0.
TEST_F(Tune, LevelsAreFullWithoutOffset) {
    const std::vector<int16_t>& audio = playback->audio;
    for (int side = 0; side < 2; ++side) {
        int32_t peak = 0;
        int64_t sum = 0;
        size_t pinned = 0;
        for (size_t i = static_cast<size_t>(side); i < audio.size(); i += 2) {
            peak = std::max(peak, std::abs(int32_t{audio[i]}));
            sum += audio[i];
            if (audio[i] <= -32767 || audio[i] >= 32512) ++pinned;
        }
        int64_t mean = sum / static_cast<int64_t>(audio.size() / 2);
        EXPECT_GE(peak, 20000) << "side " << side;
        EXPECT_LT(pinned, 10u) << "side " << side;
        EXPECT_LT(std::abs(mean), 100) << "side " << side;
    }
}

// The instruments: at least six, each loop made of whole cycles that join without a step
// larger than the steps inside the loop.
TEST(TuneInstruments, LoopsJoinCleanly) {
    std::vector<Instrument> instruments = make_instruments();
    EXPECT_GE(instruments.size(), 6u);
    for (const Instrument& s : instruments) {
        ASSERT_GE(s.data.size(), 4u) << s.name;
        EXPECT_EQ(s.data[0], 0);
        EXPECT_EQ(s.data[1], 0);
        int8_t peak = *std::max_element(s.data.begin(), s.data.end());
        EXPECT_GE(peak, 120) << s.name;
        if (s.loop_length == 0) {
            EXPECT_LE(std::abs(s.data.back()), 2) << s.name << " ends in a click";
            continue;
        }
        const int8_t* loop = s.data.data() + s.loop_start;
        int32_t largest = 0;
        for (uint32_t i = 1; i < s.loop_length; ++i) {
            largest = std::max(largest, std::abs(loop[i] - loop[i - 1]));
        }
        int32_t join = std::abs(loop[0] - loop[s.loop_length - 1]);
        EXPECT_LE(join, largest) << s.name;
    }
}

}  // namespace
