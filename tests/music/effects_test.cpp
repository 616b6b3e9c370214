// Every effect at its edges, heard: one generated song rendered and hashed. A slip in an effect,
// the row fetch, the sample headers, the tick lengths or the rendering changes a hash.
#include <gtest/gtest.h>

#include <array>
#include <random>

#include "mod_builder.h"
#include "music/effects.h"

namespace {

// Random effects and edge parameters in every cell, between tempo and speed changes, a pattern
// loop and delay, breaks (one past the pattern's end), a jump with a break in its row, F00 with
// a speed after it and F00 alone; notes at and past the period limits, sample numbers 0 and past
// 31, samples with and without loops, loops of 2 bytes, loops past their sample, a sample cut
// short by the image's end. 30 s of it, looping, with and without ramping, at 44100 Hz and at
// 11025 Hz (high notes step over several bytes a frame), the last in 8 bits, in pieces.
// The hashes were recorded from the player when the effect traces, loader, tick-length and
// buffer-size tests this replaces all passed.
TEST(Output, EveryEffectAndEdgeSoundsAsRecorded) {
    std::mt19937 random(11);
    ModBuilder b(5);
    b.song_length(6).order(1, 1).order(2, 2).order(4, 3).order(5, 4);
    // Length, loop start and length, finetune, volume; the last declares 2000 bytes.
    const int samples[9][5] = {
        {3000, 0, 3000, 0, 64},   {700, 0, 0, 3, 50},    {2000, 400, 600, 9, 64},
        {600, 0, 2, 0, 64},       {900, 100, 2, 15, 40}, {500, 64, 50, 8, 70},
        {1200, 1000, 500, 1, 64}, {800, 900, 10, 0, 30}, {1000, 0, 0, 0, 64}};
    for (int s = 0; s < 9; ++s) {
        const auto [length, start, loop, finetune, volume] = samples[s];
        TestSample t{{}, uint8_t(volume), uint8_t(finetune), uint32_t(start), uint32_t(loop)};
        for (int k = 0; k < length; ++k) t.data.push_back(int8_t(random()));
        b.sample(s + 1, t, s == 8 ? 1000 : -1);
    }
    const int periods[] = {113, 856, 50, 1000, 428, 300, 0, 0};
    for (int i = 0; i < 5 * MOD_ROWS * MOD_CHANNELS; ++i) {
        int effect = random() % 0x1000;
        effect &=
            std::array{0xFFF, 0xFFF, 0xF00, 0xFF0, 0xF0F}[random() % 5];  // and remembered ones
        const int command = effect >> 8, sample = random() % 2 ? 0 : int(random() % 12);
        if (command == 0xB || command == 0xD || command == 0xF || (effect & 0xF70) == 0xE60)
            effect = 0;  // E6x and EEx: the song's flow is set below
        const auto note = random() % 16;
        b.cell(i / 256, i / 4 % 64, i % 4, sample == 11 ? 40 : sample,
               note < 8 ? periods[note] : period_table[random() % 36], effect);
    }
    // The song's flow, then on channel 1 from pattern 4's start (its last order, ended by F00),
    // edges rare at random: fine slides and slides into the period limits, an arpeggio past the
    // top, a volume above 64 slid down, a jump within the sounding note and one remembered, and
    // tone portamento with a volume slide and its parameter remembered, EC0 (never cuts).
    const int cells[][6] = {
        {0, 8, 3, 0, 0, 0xF20},   {0, 10, 3, 0, 0, 0xFFF},  {0, 14, 3, 0, 0, 0xF91},
        {0, 20, 3, 0, 0, 0xF7D},  {0, 24, 3, 0, 0, 0xF03},  {0, 32, 3, 0, 0, 0xF1F},
        {0, 33, 3, 0, 0, 0xF06},  {1, 8, 3, 0, 0, 0xE60},   {1, 12, 3, 0, 0, 0xE62},
        {1, 20, 3, 0, 0, 0xEE2},  {1, 40, 3, 0, 0, 0xD32},  {2, 50, 2, 0, 0, 0xB04},
        {2, 50, 3, 0, 0, 0xD10},  {3, 30, 2, 0, 0, 0xF00},  {3, 30, 3, 0, 0, 0xF06},
        {3, 50, 3, 0, 0, 0xD99},  {4, 20, 3, 0, 0, 0xF00},  {4, 0, 1, 1, 850, 0xE2F},
        {4, 1, 1, 0, 0, 0x220},   {4, 2, 1, 1, 120, 0xE1F}, {4, 3, 1, 0, 0, 0x110},
        {4, 4, 1, 1, 113, 0x0F1}, {4, 5, 1, 1, 428, 0xC50}, {4, 6, 1, 0, 0, 0xA01},
        {4, 7, 1, 0, 0, 0x905},   {4, 8, 1, 0, 0, 0x900},   {4, 9, 1, 0, 480, 0x30A},
        {4, 10, 1, 0, 0, 0x503},  {4, 11, 1, 0, 0, 0x500},  {4, 12, 1, 0, 0, 0xEC0}};
    for (const auto& [pattern, row, channel, sample, period, effect] : cells)
        b.cell(pattern, row, channel, sample, period, effect);
    const uint64_t recorded[4] = {0x049f7a7629e1424d, 0xc636cac43ae94169, 0x1967db55b90b09d3,
                                  0x92dd6aeaee9e5240};
    for (int k = 0; k < 4; ++k) {
        TestPlayer p(b.build(), k < 2 ? 44100 : 11025, k % 2);
        player_set_looping(p.get(), 1);
        const uint64_t hash = output_hash(p.get(), 30 * p->sample_rate, 0, k == 3);
        EXPECT_EQ(hash, recorded[k]) << k << std::hex << ": 0x" << hash;
    }
}

// A render that stops within a tick says how far the tick has to go (ticks of 882 frames).
TEST(Render, FramesToTheNextTick) {
    TestPlayer p(ModBuilder().build());
    std::vector<int32_t> acc(2 * 1000);
    player_render(p.get(), acc.data(), 1000);
    EXPECT_EQ(player_frames_to_tick(p.get()), 2 * 882u - 1000);
}

}  // namespace
