// Channel effects, one synthetic module per case. Each test starts row 0 with six ticks (the
// lead-in) and then steps tick by tick; a row lasts six ticks at the default speed.
#include <gtest/gtest.h>

#include <vector>

#include "mod_builder.h"
#include "music/effects.h"

namespace {

// Sample 1: loud, volume 64; sample 2: volume 32; sample 3: finetune 1. All loop.
ModBuilder base() {
    ModBuilder b(4);
    TestSample ft = flat_sample(2000, 20, 64);
    ft.finetune = 1;
    b.sample(1, flat_sample(2000, 20, 64)).sample(2, flat_sample(2000, 20, 32)).sample(3, ft);
    return b;
}

// The voice step of period p, worked out from the clock constant rather than the table.
int32_t step_of_period(int p) {
    return step_of(3546895 / p);
}

struct Song {
    TestPlayer p;
    explicit Song(const ModBuilder& b) : p(b.build()) { run_ticks(p.get(), 6); }
    // Takes a player that has run all but the last tick of the lead-in.
    explicit Song(TestPlayer&& partly) : p(std::move(partly)) { run_ticks(p.get(), 1); }
    const Channel& ch(int c = 0) const { return p->channels[c]; }
    const Voice& voice(int c = 0) const { return p->voices[c]; }
    void tick(int n = 1) { run_ticks(p.get(), n); }
};

TEST(EffectTables, Facts) {
    EXPECT_EQ(frequency_table.size(), 744u);
    EXPECT_EQ(frequency_table[113 - 113], 31388);
    EXPECT_EQ(frequency_table[428 - 113], 8287);
    EXPECT_EQ(frequency_table[856 - 113], 4143);
    for (int p = 113; p <= 856; ++p) ASSERT_EQ(frequency_table[p - 113], 3546895 / p);
    EXPECT_EQ(period_frequency(112, 0), 0u);
    EXPECT_EQ(period_frequency(857, 0), 0u);
    EXPECT_EQ(period_frequency(0, 5), 0u);
}

TEST(EffectTables, FinetuneOneOnPeriod428Is8346Hz) {
    Voice v{};
    voice_init(&v, 44100);
    set_tuned_frequency(&v, 8287, 1);
    EXPECT_EQ(v.step, step_of(8346));
    set_tuned_frequency(&v, 8287, 0);
    EXPECT_EQ(v.step, step_of(8287));

    ModBuilder b = base();
    b.cell(0, 0, 0, 3, 428, 0);
    Song s(b);
    EXPECT_EQ(s.voice().step, step_of(8346));
}

TEST(EffectTables, ArpeggioPeriod) {
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

TEST(Effects, Arpeggio037PlaysSevenThreeBaseSevenThree) {
    ModBuilder b = base();
    b.cell(0, 0, 0, 1, 428, 0x037).cell(0, 1, 0, 0, 0, 0x037);
    Song s(b);
    EXPECT_EQ(s.voice().step, step_of_period(428));
    for (int period : {285, 360, 428, 285, 360}) {
        s.tick();
        EXPECT_EQ(s.voice().step, step_of_period(period)) << "tick " << s.p->tick;
    }
    s.tick();  // row 1 starts: no note, so the arpeggio leaves the last tick's pitch
    EXPECT_EQ(s.p->row, 1);
    EXPECT_EQ(s.voice().step, step_of_period(360));
}

TEST(Effects, ArpeggioOffTheTablePlaysThePeriodOnAllPhases) {
    ModBuilder b = base();
    b.cell(0, 0, 0, 1, 430, 0x037);
    Song s(b);
    for (int t = 1; t <= 5; ++t) {
        s.tick();
        EXPECT_EQ(s.voice().step, step_of_period(430));
    }
}

TEST(Effects, PortamentoUpAndDownWithLimits) {
    struct Case {
        uint16_t period, effect, after_one_tick, after_five;
    };
    const Case cases[] = {{120, 0x110, 113, 113},
                          {850, 0x220, 856, 856},
                          {428, 0x105, 423, 403},
                          {428, 0x203, 431, 443}};
    for (const Case& c : cases) {
        ModBuilder b = base();
        b.cell(0, 0, 0, 1, c.period, c.effect);
        Song s(b);
        EXPECT_EQ(s.ch().period, c.period);
        s.tick();
        EXPECT_EQ(s.ch().period, c.after_one_tick) << std::hex << c.effect;
        EXPECT_EQ(s.voice().step, step_of_period(c.after_one_tick));
        s.tick(4);
        EXPECT_EQ(s.ch().period, c.after_five) << std::hex << c.effect;
    }
}

TEST(Effects, FinePortamentoActsOnceAtTheRowStart) {
    struct Case {
        uint16_t period, effect, expected;
    };
    const Case cases[] = {
        {428, 0xE13, 425}, {428, 0xE23, 431}, {120, 0xE1F, 113}, {850, 0xE2F, 856}};
    for (const Case& c : cases) {
        ModBuilder b = base();
        b.cell(0, 0, 0, 1, c.period, c.effect);
        Song s(b);
        EXPECT_EQ(s.ch().period, c.expected) << std::hex << c.effect;
        EXPECT_EQ(s.voice().step, step_of_period(c.expected));
        s.tick(5);
        EXPECT_EQ(s.ch().period, c.expected);
    }
}

TEST(Effects, TonePortamentoSlidesToTheTargetAndRemembers) {
    ModBuilder b = base();
    b.cell(0, 0, 0, 1, 428, 0)
        .cell(0, 1, 0, 0, 400, 0x308)
        .cell(0, 2, 0, 0, 480, 0x300)
        .cell(0, 3, 0, 0, 0, 0x302);
    Song s(b);
    s.tick(6);  // row 1
    EXPECT_EQ(s.ch().period, 428);
    std::vector<int> seen;
    for (int t = 0; t < 5; ++t) {
        s.tick();
        seen.push_back(s.ch().period);
    }
    EXPECT_EQ(seen, (std::vector<int>{420, 412, 404, 400, 400}));
    EXPECT_EQ(s.voice().step, step_of_period(400));
    s.tick();  // row 2: 300 keeps speed 8 toward the new target 480
    seen.clear();
    for (int t = 0; t < 5; ++t) {
        s.tick();
        seen.push_back(s.ch().period);
    }
    EXPECT_EQ(seen, (std::vector<int>{408, 416, 424, 432, 440}));
    s.tick();  // row 3: no note, so the target stays 480; speed 2
    s.tick();
    EXPECT_EQ(s.ch().period, 442);
    EXPECT_EQ(s.ch().porta_target, 480);
}

TEST(Effects, NoteUnderToneEffectsNeverRestartsEvenWithASampleNumber) {
    for (uint16_t effect : {0x308, 0x508}) {
        ModBuilder b = base();
        b.cell(0, 0, 0, 1, 428, 0xC10).cell(0, 1, 0, 2, 400, effect).cell(0, 0, 1, 0, 0, 0x308);
        Song s(b);
        s.tick(5);
        s.p->channels[0].sample_pos = 777;
        s.tick();  // row 1
        EXPECT_EQ(s.ch().sample_pos, 777u) << std::hex << effect;
        EXPECT_EQ(s.ch().active_sample, 1);
        EXPECT_EQ(s.ch().trigger, 0);
        EXPECT_EQ(s.ch().volume, 32);  // the default volume of sample 2
        EXPECT_EQ(s.ch().porta_target, 400);
        s.tick();
        EXPECT_EQ(s.ch().period,
                  effect == 0x308 ? 420 : 428);  // 5xy slides at the last speed (none)
    }
}

TEST(Effects, Vibrato4A4) {
    ModBuilder b = base();
    b.cell(0, 0, 0, 1, 428, 0x4A4);
    Song s(b);
    s.tick();
    EXPECT_EQ(s.ch().vibrato_pos, 10);
    EXPECT_EQ(s.ch().vibrato_period, 434);  // 212 x 4 >> 7 = 6
    EXPECT_EQ(s.voice().step, step_of_period(434));
    s.tick(3);
    EXPECT_EQ(s.ch().vibrato_pos, 40);
    EXPECT_EQ(s.ch().vibrato_period, 422);  // -180 x 4 >> 7 = -6
    EXPECT_EQ(s.ch().period, 428);
}

TEST(Effects, VolumeSlideMemoriesAreSeparate) {
    ModBuilder b = base();
    const uint16_t effects[] = {0xC40, 0xA02, 0xA00, 0x620, 0x600, 0x504, 0x500, 0xA00};
    const int volumes[] = {64, 54, 44, 54, 64, 44, 24, 14};
    for (int r = 0; r < 8; ++r) b.cell(0, r, 0, r == 0 ? 1 : 0, r == 0 ? 428 : 0, effects[r]);
    Song s(b);
    for (int r = 0; r < 8; ++r) {
        s.tick(5);
        EXPECT_EQ(s.ch().volume, volumes[r]) << "row " << r << " " << std::hex << effects[r];
        EXPECT_EQ(s.voice().volume, volumes[r]);
        s.tick();
    }
}

TEST(Effects, VolumeSlideUsesTheHighNibbleFirst) {
    ModBuilder b = base();
    b.cell(0, 0, 0, 1, 428, 0xC0A).cell(0, 1, 0, 0, 0, 0xA23);
    Song s(b);
    s.tick(6);
    s.tick();
    EXPECT_EQ(s.ch().volume, 12);
}

TEST(Effects, SetVolumeAbove64ThenSlides) {
    struct Case {
        uint16_t slide;
        int volume;
    };
    for (Case c : {Case{0xA01, 79}, Case{0xA10, 64}}) {
        ModBuilder b = base();
        b.cell(0, 0, 0, 1, 428, 0xC50).cell(0, 1, 0, 0, 0, c.slide);
        Song s(b);
        EXPECT_EQ(s.ch().volume, 80);
        EXPECT_EQ(s.voice().volume, 64);
        s.tick(7);
        EXPECT_EQ(s.ch().volume, c.volume) << std::hex << c.slide;
    }
}

TEST(Effects, Tremolo) {
    ModBuilder b = base();
    b.cell(0, 0, 0, 2, 428, 0x744);
    TestPlayer p(b.build());
    run_ticks(p.get(), 5);
    p->voices[0].volume = 5;
    Song s(std::move(p));
    EXPECT_EQ(s.voice().volume, 5);  // the row start leaves the voice's volume alone
    s.tick();
    EXPECT_EQ(s.ch().tremolo_volume, 38);  // 97 x 4 >> 6 = 6
    EXPECT_EQ(s.voice().volume, 38);
    EXPECT_EQ(s.ch().volume, 32);
}

TEST(Effects, SampleOffsetStartsJumpsAndRemembers) {
    ModBuilder b = base();
    b.cell(0, 0, 0, 1, 428, 0x905).cell(0, 1, 0, 0, 0, 0x900).cell(1, 0, 0, 1, 428, 0x900);
    b.song_length(2).order(1, 1);
    Song s(b);
    EXPECT_EQ(s.ch().sample_pos, 1280u);
    s.tick(5);
    s.p->channels[0].sample_pos = 5;
    s.p->voices[0].block_pos = 17;
    s.tick();  // row 1: the playing sample jumps to the remembered offset
    EXPECT_EQ(s.ch().sample_pos, 1280u);
    EXPECT_EQ(s.voice().block_pos, 256);
    EXPECT_EQ(s.ch().active_sample, 1);

    ModBuilder fresh = base();
    fresh.cell(0, 0, 0, 1, 428, 0x900);
    Song f(fresh);
    EXPECT_EQ(f.ch().sample_pos, 0u);
}

TEST(Effects, PatternLoop) {
    struct Case {
        uint16_t end;
        std::vector<int> rows;
    };
    const Case cases[] = {{0xE62, {0, 1, 2, 3, 1, 2, 3, 4, 5}},
                          {0xE61, {0, 1, 2, 3, 4, 5, 6, 7, 8}}};
    for (const Case& c : cases) {
        ModBuilder b = base();
        b.cell(0, 1, 2, 0, 0, 0xE60).cell(0, 3, 2, 0, 0, c.end);
        Song s(b);
        std::vector<int> rows{s.p->row};
        while (rows.size() < c.rows.size()) {
            s.tick(6);
            rows.push_back(s.p->row);
        }
        EXPECT_EQ(rows, c.rows) << std::hex << c.end;
        EXPECT_EQ(s.ch(2).loop_count, 0);
    }
}

TEST(Effects, JumpAndBreakTargets) {
    struct Case {
        uint16_t ch1, ch2;
        int order, row;
    };
    const Case cases[] = {
        {0xD10, 0xB02, 2, 0},  // the higher channel's target stands, for both
        {0xB02, 0xD10, 1, 10}, {0xD32, 0, 1, 32}, {0xD7F, 0, 1, 85},  // the tens digit has 3 bits
        {0xB07, 0, 0, 0},  // past the song's end: order 0
    };
    for (const Case& c : cases) {
        ModBuilder b = base();
        b.song_length(4).order(1, 1).order(2, 2).order(3, 3);
        b.cell(0, 0, 1, 0, 0, c.ch1).cell(0, 0, 2, 0, 0, c.ch2);
        Song s(b);
        EXPECT_EQ(s.p->next_order, c.order) << std::hex << c.ch1 << " " << c.ch2;
        EXPECT_EQ(s.p->next_row, c.row);
    }
    ModBuilder last = base();
    last.song_length(2).order(1, 1).cell(1, 0, 0, 0, 0, 0xD05);
    Song s(last);
    s.tick(64 * 6);
    EXPECT_EQ(s.p->order_pos, 1);
    EXPECT_EQ(s.p->next_order, 0);  // a break at the last order entry goes to order 0
    EXPECT_EQ(s.p->next_row, 5);
}

TEST(Effects, NoteDelay) {
    ModBuilder b = base();
    b.cell(0, 0, 0, 1, 428, 0).cell(0, 1, 0, 2, 300, 0xED3).cell(0, 2, 0, 2, 300, 0xED7);
    Song s(b);
    s.tick(6);  // row 1
    EXPECT_EQ(s.ch().period, 300);
    EXPECT_EQ(s.voice().step, step_of_period(428));
    EXPECT_EQ(s.ch().active_sample, 1);
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
    ModBuilder b = base();
    b.cell(0, 0, 0, 1, 428, 0xE93).cell(0, 1, 0, 0, 0, 0xE90);
    Song s(b);
    std::vector<int> restarts;
    for (int t = 1; t <= 5; ++t) {
        s.p->channels[0].sample_pos = 999;
        s.tick();
        if (s.ch().sample_pos == 2) restarts.push_back(t);
    }
    EXPECT_EQ(restarts, std::vector<int>{3});
    s.p->channels[0].sample_pos = 999;
    s.tick();  // row 1: E90 without a note restarts the sample at the row start only
    EXPECT_EQ(s.ch().sample_pos, 2u);
    for (int t = 1; t <= 5; ++t) {
        s.p->channels[0].sample_pos = 999;
        s.tick();
        EXPECT_EQ(s.ch().sample_pos, 999u);
    }
}

TEST(Effects, NoteCut) {
    ModBuilder b = base();
    b.cell(0, 0, 0, 1, 428, 0xEC2).cell(0, 0, 1, 1, 428, 0xEC0);
    Song s(b);
    s.tick();
    EXPECT_EQ(s.ch().volume, 64);
    s.tick();
    EXPECT_EQ(s.ch().volume, 0);
    EXPECT_EQ(s.voice().volume, 0);
    s.tick(3);
    EXPECT_EQ(s.ch(1).volume, 64);
}

TEST(Effects, FineVolume) {
    struct Case {
        uint16_t effect;
        int volume;
    };
    for (Case c : {Case{0xEA5, 37}, Case{0xEAF, 47}, Case{0xEB5, 27}, Case{0xEBF, 17}}) {
        ModBuilder b = base();
        b.cell(0, 0, 0, 2, 428, c.effect);
        Song s(b);
        EXPECT_EQ(s.ch().volume, c.volume) << std::hex << c.effect;
        s.tick(5);
        EXPECT_EQ(s.ch().volume, c.volume);
    }
    ModBuilder b = base();
    b.cell(0, 0, 0, 1, 428, 0xEAF).cell(0, 0, 1, 1, 428, 0xC03).cell(0, 1, 1, 0, 0, 0xEB5);
    Song s(b);
    EXPECT_EQ(s.ch().volume, 64);
    s.tick(6);
    EXPECT_EQ(s.ch(1).volume, 0);
}

TEST(Effects, SpeedAndTempo) {
    struct Case {
        uint16_t effect;
        int speed, tempo, frames;
    };
    const Case cases[] = {
        {0xF1F, 31, 125, 882}, {0xF20, 6, 32, 3675}, {0xF7D, 6, 125, 882}, {0xFFF, 6, 255, 432}};
    for (const Case& c : cases) {
        ModBuilder b = base();
        b.cell(0, 0, 3, 0, 0, c.effect);
        Song s(b);
        EXPECT_EQ(s.p->speed, c.speed) << std::hex << c.effect;
        EXPECT_EQ(s.p->tempo, c.tempo);
        EXPECT_EQ(s.p->samples_per_tick, c.frames);
    }
}

// Ticks from one row start to the next.
int row_length(ModPlayer* p) {
    const int row = p->row;
    int ticks = 0;
    do {
        run_tick(p);
        ++ticks;
    } while (p->row == row && ticks < 70000);
    return ticks;
}

TEST(Effects, PatternDelay) {
    ModBuilder b = base();
    b.cell(0, 0, 0, 0, 0, 0xEE2).cell(0, 1, 0, 0, 0, 0xF14).cell(0, 1, 1, 0, 0, 0xEEF);
    Song s(b);
    EXPECT_EQ(row_length(s.p.get()), 18);
    EXPECT_EQ(s.p->pattern_delay, 44);  // 15 x 20 = 300 kept to 8 bits
    EXPECT_EQ(row_length(s.p.get()), 64);
    EXPECT_EQ(row_length(s.p.get()), 20);
}

TEST(Effects, SpeedZeroMakesA65536TickRow) {
    ModBuilder b = base();
    b.cell(0, 0, 0, 0, 0, 0xF00);
    Song s(b);
    EXPECT_EQ(row_length(s.p.get()), 65536);
}

TEST(Effects, EffectsThatDoNothingStillRefreshTheVoice) {
    for (uint16_t effect : {0x800, 0x8FF, 0xE05, 0xE35, 0xE45, 0xE55, 0xE75, 0xE85, 0xEF5}) {
        ModBuilder b = base();
        b.cell(0, 0, 0, 1, 428, 0xC20).cell(0, 1, 0, 0, 0, effect);
        Song s(b);
        s.tick(6);
        s.p->voices[0].step = 1;
        s.p->voices[0].volume = 5;
        s.tick();
        EXPECT_EQ(s.ch().period, 428) << std::hex << effect;
        EXPECT_EQ(s.ch().volume, 32);
        EXPECT_EQ(s.voice().step, step_of_period(428));
        EXPECT_EQ(s.voice().volume, 32);
    }
}

TEST(Effects, EffectZeroLeavesTheVoiceAlone) {
    ModBuilder b = base();
    b.cell(0, 0, 0, 1, 428, 0);
    Song s(b);
    s.p->voices[0].step = 1;
    s.tick();
    EXPECT_EQ(s.voice().step, 1);
}

}  // namespace
