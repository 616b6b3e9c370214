// Channel effects, one synthetic module per case. Each case starts row 0 with six ticks (the
// lead-in) and then steps tick by tick; a row lasts six ticks at the default speed.
#include <gtest/gtest.h>

#include <vector>

#include "mod_builder.h"
#include "music/effects.h"

namespace {

// The voice step of period p at 44100 Hz, worked out from the clock constant, not the table.
int32_t step_of(uint32_t hz) {
    return static_cast<int32_t>((hz << 16) / 44100);
}
int32_t step_of_period(int p) {
    return step_of(3546895 / p);
}

// Samples 1 and 3 have volume 64, sample 2 32, sample 4 3; sample 3 has finetune 1. All loop.
ModBuilder base() {
    ModBuilder b(4);
    TestSample ft = flat_sample(2000, 20, 64);
    ft.finetune = 1;
    b.sample(1, flat_sample(2000, 20, 64)).sample(2, flat_sample(2000, 20, 32)).sample(3, ft);
    return b.sample(4, flat_sample(2000, 20, 3));
}

struct Song {
    TestPlayer p;
    explicit Song(const ModBuilder& b) : p(b.build()) { run_ticks(p.get(), 6); }
    const Channel& ch(int c = 0) const { return p->channels[c]; }
    const Voice& voice(int c = 0) const { return p->voices[c]; }
    void tick(int n = 1) { run_ticks(p.get(), n); }
};

TEST(EffectTables, PeriodsFrequenciesAndArpeggioSteps) {
    EXPECT_EQ(frequency_table[113 - 113], 31388);
    EXPECT_EQ(frequency_table[428 - 113], 8287);
    EXPECT_EQ(frequency_table[856 - 113], 4143);
    for (auto [period, finetune] : {std::pair{112, 0}, {857, 0}, {0, 5}})
        EXPECT_EQ(period_frequency(period, finetune), 0u) << period;
    struct Case {
        uint16_t period;
        int n;
        uint16_t expected;
    };
    const Case cases[] = {{428, 7, 285},  {428, 3, 360}, {428, 0, 428}, {430, 7, 430},
                          {856, 12, 428}, {113, 1, 0},   {120, 15, 0},  {0, 3, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(arpeggio_period(c.period, c.n), c.expected) << c.period << "+" << c.n;
}

TEST(Effects, FinetuneOneOnPeriod428Is8346Hz) {
    Song s(base().cell(0, 0, 0, 3, 428, 0));
    EXPECT_EQ(s.voice().step, step_of(8346));
}

// One cell on row 0 of channel 0, traced over ticks 0..5 and the start of the (empty) row 1.
TEST(Effects, RowTraces) {
    enum What { PITCH, PERIOD, VOLUME, VOICE_VOLUME };
    struct Case {
        uint8_t sample;
        uint16_t period, effect;
        What what;
        std::array<int, 7> trace;  // -1: not checked
    };
    const Case cases[] = {
        {1, 428, 0x037, PITCH, {428, 285, 360, 428, 285, 360, 360}},
        {1, 430, 0x037, PITCH, {430, 430, 430, 430, 430, 430, 430}},
        {1, 120, 0x110, PITCH, {120, 113, 113, 113, 113, 113, 113}},
        {1, 850, 0x220, PITCH, {850, 856, 856, 856, 856, 856, 856}},
        {1, 428, 0x105, PITCH, {428, 423, 418, 413, 408, 403, 403}},
        {1, 428, 0x203, PITCH, {428, 431, 434, 437, 440, 443, 443}},
        {1, 428, 0xE13, PITCH, {425, 425, 425, 425, 425, 425, 425}},
        {1, 428, 0xE23, PITCH, {431, 431, 431, 431, 431, 431, 431}},
        {1, 120, 0xE1F, PITCH, {113, 113, 113, 113, 113, 113, 113}},
        {1, 850, 0xE2F, PITCH, {856, 856, 856, 856, 856, 856, 856}},
        {1, 428, 0x4A4, PITCH, {428, 434, -1, -1, 422, -1, -1}},
        {1, 428, 0x4A4, PERIOD, {428, 428, 428, 428, 428, 428, 428}},
        {2, 428, 0x744, VOICE_VOLUME, {-1, 38, -1, -1, -1, -1, -1}},
        {2, 428, 0x744, VOLUME, {32, 32, 32, 32, 32, 32, 32}},
        {2, 428, 0xA23, VOLUME, {32, 34, 36, 38, 40, 42, 42}},
        {1, 428, 0xEC2, VOLUME, {64, 64, 0, 0, 0, 0, 0}},
        {1, 428, 0xEC0, VOLUME, {64, 64, 64, 64, 64, 64, 64}},
        {2, 428, 0xEA5, VOLUME, {37, 37, 37, 37, 37, 37, 37}},
        {2, 428, 0xEB5, VOLUME, {27, 27, 27, 27, 27, 27, 27}},
        {1, 428, 0xEAF, VOLUME, {64, 64, 64, 64, 64, 64, 64}},
        {4, 428, 0xEB5, VOLUME, {0, 0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        Song s(base().cell(0, 0, 0, c.sample, c.period, c.effect));
        for (int t = 0; t < 7; ++t, s.tick()) {
            const int want = c.trace[t];
            if (want < 0) continue;
            const int got[] = {s.voice().step, s.ch().period, s.ch().volume, s.voice().volume};
            EXPECT_EQ(got[c.what], c.what == PITCH ? step_of_period(want) : want)
                << std::hex << c.effect << std::dec << " tick " << t << " what " << c.what;
        }
    }
}

TEST(Effects, TonePortamentoSlidesToTheTargetAndRemembers) {
    Song s(base()
               .cell(0, 0, 0, 1, 428, 0)
               .cell(0, 1, 0, 0, 400, 0x308)
               .cell(0, 2, 0, 0, 480, 0x300)
               .cell(0, 3, 0, 0, 0, 0x302));
    std::vector<int> seen;
    for (int t = 0; t < 20; ++t) {
        s.tick();
        seen.push_back(s.ch().period);
    }
    // Row 1 slides by 8 to 400; row 2's 300 keeps speed 8 toward 480; row 3 has no note, so
    // the target stays 480, at speed 2.
    const std::vector<int> expected = {428, 428, 428, 428, 428, 428, 420, 412, 404, 400,
                                       400, 400, 408, 416, 424, 432, 440, 440, 442, 444};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(s.voice().step, step_of_period(444));
    EXPECT_EQ(s.ch().porta_target, 480);
}

TEST(Effects, NoteUnderToneEffectsNeverRestartsEvenWithASampleNumber) {
    for (uint16_t effect : {0x308, 0x508}) {
        Song s(base().cell(0, 0, 0, 1, 428, 0xC10).cell(0, 1, 0, 2, 400, effect));
        s.tick(5);
        s.p->channels[0].sample_pos = 777;
        s.tick();  // row 1
        EXPECT_EQ(s.ch().sample_pos, 777u) << std::hex << effect;
        EXPECT_EQ(s.ch().active_sample, 1);
        EXPECT_EQ(s.ch().trigger, 0);
        EXPECT_EQ(s.ch().volume, 32);  // the default volume of sample 2
        EXPECT_EQ(s.ch().porta_target, 400);
        s.tick();
        EXPECT_EQ(s.ch().period, effect == 0x308 ? 420 : 428);  // 5xy: the last speed (none)
    }
}

// Cxx on row 0, then slides.
TEST(Effects, VolumeSlidesAndTheirMemories) {
    const std::vector<std::vector<std::pair<uint16_t, int>>> cases = {
        {{0xC40, 64},
         {0xA02, 54},
         {0xA00, 44},
         {0x620, 54},
         {0x600, 64},
         {0x504, 44},
         {0x500, 24},
         {0xA00, 14}},
        {{0xC50, 80}, {0xA01, 75}},  // above 64 is kept but played as 64
        {{0xC50, 80}, {0xA10, 64}},
    };
    for (const auto& rows : cases) {
        ModBuilder b = base();
        for (size_t r = 0; r < rows.size(); ++r)
            b.cell(0, static_cast<int>(r), 0, r == 0, r == 0 ? 428 : 0, rows[r].first);
        Song s(b);
        for (auto [effect, volume] : rows) {
            s.tick(5);  // the volume after the row's last tick
            EXPECT_EQ(s.ch().volume, volume) << std::hex << effect;
            EXPECT_EQ(s.voice().volume, std::min(volume, 64)) << std::hex << effect;
            s.tick();
        }
    }
}

TEST(Effects, SampleOffsetStartsJumpsAndRemembers) {
    ModBuilder b = base().song_length(2).order(1, 1);
    b.cell(0, 0, 0, 1, 428, 0x905).cell(0, 1, 0, 0, 0, 0x900).cell(1, 0, 1, 1, 428, 0x900);
    Song s(b);
    EXPECT_EQ(s.ch().sample_pos, 1280u);
    s.tick(5);
    s.p->channels[0].sample_pos = 5;
    s.p->voices[0].block_pos = 17;
    s.tick();  // row 1: the playing sample jumps to the remembered offset
    EXPECT_EQ(s.ch().sample_pos, 1280u);
    EXPECT_EQ(s.voice().block_pos, 256);
    EXPECT_EQ(s.ch().active_sample, 1);
    s.tick(6 * 63);  // order 1: 900 with nothing remembered on channel 1 starts at 0
    EXPECT_EQ(s.ch(1).active_sample, 1);
    EXPECT_EQ(s.ch(1).sample_pos, 0u);
}

// E6y plays the rows from the E60 y + 1 times in all; the count starts again for a later pass.
TEST(Effects, PatternLoop) {
    struct Case {
        uint16_t end;
        std::vector<int> rows;
    };
    const Case cases[] = {
        {0xE62, {0, 1, 2, 3, 1, 2, 3, 1, 2, 3, 4, 5}},
        {0xE61, {0, 1, 2, 3, 1, 2, 3, 4, 5}},
        {0xE60, {0, 1, 2, 3, 4, 5}},  // a second loop start, no jump
    };
    for (const Case& c : cases) {
        Song s(base().cell(0, 1, 2, 0, 0, 0xE60).cell(0, 3, 2, 0, 0, c.end));
        std::vector<int> seen{s.p->row};
        while (seen.size() < c.rows.size()) {
            s.tick(6);
            seen.push_back(s.p->row);
        }
        EXPECT_EQ(seen, c.rows) << std::hex << c.end;
        EXPECT_EQ(s.ch(2).loop_count, 0);
        EXPECT_EQ(player_has_ended(s.p.get()), 0);
    }
}

TEST(Effects, JumpAndBreakTargets) {
    struct Case {
        uint16_t ch1, ch2;
        int order, row;
    };
    const Case cases[] = {
        {0xD10, 0xB02, 2, 10},  // B and D together: the break's row in the jump's order,
        {0xB02, 0xD10, 2, 10},  // whichever channel comes first
        {0xD32, 0, 1, 32},
        {0xD63, 0, 1, 63},
        {0xD64, 0, 1, 0},  // a row past the pattern's end: row 0 of the next order
        {0xD7F, 0, 1, 0},
        {0xD99, 0, 1, 0},
        {0xDF1, 0, 1, 0},
        {0xD0A, 0, 1, 10},  // a units digit above 9 still counts as its value
        {0xB07, 0, 0, 0},   // past the song's end: order 0
    };
    for (const Case& c : cases) {
        ModBuilder b = base().song_length(4).order(1, 1).order(2, 2).order(3, 3);
        Song s(b.cell(0, 0, 1, 0, 0, c.ch1).cell(0, 0, 2, 0, 0, c.ch2));
        EXPECT_EQ(s.p->next_order, c.order) << std::hex << c.ch1 << " " << c.ch2;
        EXPECT_EQ(s.p->next_row, c.row) << std::hex << c.ch1 << " " << c.ch2;
        s.tick(6);
        EXPECT_EQ(s.p->order_pos, c.order) << std::hex << c.ch1 << " " << c.ch2;
        EXPECT_EQ(s.p->row, c.row) << std::hex << c.ch1 << " " << c.ch2;
    }
}

TEST(Effects, NoteDelay) {
    Song s(
        base().cell(0, 0, 0, 1, 428, 0).cell(0, 1, 0, 2, 300, 0xED3).cell(0, 2, 0, 2, 300, 0xED7));
    s.tick(6);  // row 1
    EXPECT_EQ(s.ch().period, 300);
    EXPECT_EQ(s.voice().step, step_of_period(428));
    s.tick();  // the refresh already gives the old sound the new period and volume
    EXPECT_EQ(s.voice().step, step_of_period(300));
    EXPECT_EQ(s.voice().volume, 32);
    EXPECT_EQ(s.ch().active_sample, 1);
    s.tick(2);
    EXPECT_EQ(s.ch().active_sample, 2);
    EXPECT_EQ(s.ch().sample_pos, 2u);
    s.tick(3);  // row 2: ED7 never comes at speed 6
    s.p->channels[0].active_sample = 1;
    s.tick(5);
    EXPECT_EQ(s.ch().active_sample, 1);
}

TEST(Effects, Retrigger) {
    Song s(base().cell(0, 0, 0, 1, 428, 0xE93).cell(0, 1, 0, 0, 0, 0xE90));
    std::vector<int> restarts;
    for (int t = 1; t <= 12; ++t) {
        s.p->channels[0].sample_pos = 999;
        s.tick();
        if (s.ch().sample_pos == 2) restarts.push_back(t);
    }
    // E93 at tick 3; E90 without a note restarts the sample at the row start only.
    EXPECT_EQ(restarts, (std::vector<int>{3, 6}));
}

TEST(Effects, SpeedAndTempo) {
    struct Case {
        uint16_t effect;
        int speed, tempo, frames;  // frames: the first tick at the new tempo
    };
    const Case cases[] = {{0xF1F, 31, 125, 882}, {0xF01, 1, 125, 882},
                          {0xF20, 6, 32, 3445},                         // 3445.3 on average
                          {0xF7D, 6, 125, 882},  {0xF7F, 6, 127, 868},  // 868.1
                          {0xFFF, 6, 255, 432}};
    for (const Case& c : cases) {
        Song s(base().cell(0, 0, 3, 0, 0, c.effect));
        EXPECT_EQ(s.p->speed, c.speed) << std::hex << c.effect;
        EXPECT_EQ(s.p->tempo, c.tempo);
        EXPECT_EQ(s.p->samples_per_tick, c.frames);
    }
}

// Ticks from one row start to the next.
int row_length(ModPlayer* p) {
    const int row = p->row;
    int ticks = 0;
    for (; p->row == row && ticks < 70000; ++ticks) run_ticks(p, 1);
    return ticks;
}

TEST(Effects, PatternDelay) {
    Song s(base().cell(0, 0, 0, 0, 0, 0xEE2).cell(0, 1, 0, 0, 0, 0xF14).cell(0, 1, 1, 0, 0, 0xEEF));
    EXPECT_EQ(row_length(s.p.get()), 18);
    EXPECT_EQ(s.p->pattern_delay, 44);  // 15 x 20 = 300 kept to 8 bits
    EXPECT_EQ(row_length(s.p.get()), 64);
    EXPECT_EQ(row_length(s.p.get()), 20);
}

TEST(Effects, EffectsThatDoNothingStillRefreshTheVoiceButEffectZeroDoesNot) {
    for (uint16_t effect : {0x000, 0x800, 0x8FF, 0xE05, 0xE35, 0xE45, 0xE55, 0xE75, 0xE85, 0xEF5}) {
        Song s(base().cell(0, 0, 0, 1, 428, 0xC20).cell(0, 1, 0, 0, 0, effect));
        s.tick(6);
        s.p->voices[0].step = 1;
        s.p->voices[0].volume = 5;
        s.tick();
        EXPECT_EQ(s.ch().period, 428) << std::hex << effect;
        EXPECT_EQ(s.ch().volume, 32);
        EXPECT_EQ(s.voice().step, effect ? step_of_period(428) : 1) << std::hex << effect;
        EXPECT_EQ(s.voice().volume, effect ? 32 : 5) << std::hex << effect;
    }
}

}  // namespace
