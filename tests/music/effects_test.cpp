// Channel effects at their edges (limits, memories, wraps), one small song per case, traced from
// the start of row 0; rows last six ticks. The effects at large are pinned by the recorded
// output of real modules (ramp_test.cpp).
#include <gtest/gtest.h>

#include <vector>

#include "mod_builder.h"
#include "music/effects.h"

namespace {

struct Cell {
    int sample, period, effect;  // on channel 0, one row each from row 0
};

// HEARD: the period the voice plays; STARTS: where a note (re)started on the tick, else 999.
enum What { HEARD, PERIOD, VOLUME, HEARD_VOLUME, STARTS };

TEST(Effects, Traces) {
    struct Case {
        std::vector<Cell> cells;
        What what;
        std::vector<int> trace;  // from tick `first` on, every `every` ticks; -1: not checked
        int first = 0, every = 1;
    };
    const std::vector<Cell> slides = {{1, 428, 0xC40}, {0, 0, 0xA02}, {0, 0, 0xA00}, {0, 0, 0x620},
                                      {0, 0, 0x600},   {0, 0, 0x504}, {0, 0, 0x500}, {0, 0, 0xA00}};
    const Case cases[] = {
        {{{1, 428, 0x037}}, HEARD, {428, 285, 360, 428, 285, 360, 360}},
        {{{1, 113, 0x0F1}}, HEARD, {113, 0, 0, 113, 0, 0}},  // past the top: silent
        {{{1, 120, 0x110}}, HEARD, {120, 113, 113}},
        {{{1, 850, 0x220}}, HEARD, {850, 856, 856}},
        {{{1, 120, 0xE1F}}, HEARD, {113, 113}},
        {{{1, 850, 0xE2F}}, HEARD, {856, 856}},
        {{{1, 428, 0x4A4}}, HEARD, {428, 434, -1, -1, 422}},
        // Tremolo leaves the row start's volume alone and dips below 0 into silence.
        {{{4, 428, 0x7C4}, {0, 0, 0x7C4}}, HEARD_VOLUME, {-1, 17, 14, 0, 0, 0, 0, 17}},
        {{{1, 428, 0xEC0}}, VOLUME, {64, 64, 64}},  // EC0 never cuts
        {{{4, 428, 0xEB5}}, VOLUME, {0}},
        // After C, each row's volume after its last tick: A, 6 and 5 remember their own
        // parameters; above 64 is kept but heard as 64.
        {slides, VOLUME, {64, 54, 44, 54, 64, 44, 24, 14}, 5, 6},
        {{{1, 428, 0xC50}, {0, 0, 0xA01}}, HEARD_VOLUME, {64, 64}, 5, 6},
        {{{1, 428, 0xC50}, {0, 0, 0xA10}}, VOLUME, {80, 64}, 5, 6},
        // Tone portamento stops at its target, which a row without a note keeps.
        {{{1, 428, 0}, {0, 480, 0x30A}, {0, 0, 0x303}}, PERIOD, {478, 480}, 11, 6},
        // 9xx jumps within the sounding note and remembers its offset.
        {{{1, 428, 0}, {0, 0, 0x905}, {0, 0, 0x900}}, STARTS, {2, 1280, 1280}, 0, 6},
        {{{1, 428, 0xE93}, {0, 0, 0xE90}}, STARTS, {2, 999, 999, 2, 999, 999, 2, 999}},
    };
    for (const Case& c : cases) {
        ModBuilder b;  // samples 1 and 4 have volume 64 and 3
        b.sample(1, flat_sample(2000, 20)).sample(4, flat_sample(2000, 20, 3));
        for (size_t r = 0; r < c.cells.size(); ++r)
            b.cell(0, int(r), 0, c.cells[r].sample, c.cells[r].period, c.cells[r].effect);
        TestPlayer p(b.build());
        const Channel& ch = p->channels[0];
        run_ticks(p.get(), 5);
        for (int t = 0, k = 0; k < int(c.trace.size()); ++t) {
            p->channels[0].sample_pos = 999;
            run_ticks(p.get(), 1);
            if (t < c.first || (t - c.first) % c.every != 0) continue;
            const int want = c.trace[size_t(k++)];
            const int got[] = {p->voices[0].step, ch.period, ch.volume, p->voices[0].volume,
                               int(ch.sample_pos)};
            const int step = int((period_frequency(uint16_t(want), 0) << 16) / 44100);
            EXPECT_TRUE(want < 0 || got[c.what] == (c.what == HEARD ? step : want))
                << std::hex << c.cells.back().effect << std::dec << " what " << c.what << " tick "
                << t << ": " << got[c.what];
        }
    }
}

}  // namespace
