// Loading: signatures, pattern counting, sample headers, cells, limits on odd images, the row
// fetch and sample_fetch.
#include <gtest/gtest.h>

#include "mod_builder.h"
#include "music/player.h"

namespace {

TEST(Loader, SignaturesAndOrderMasks) {
    struct Case {
        const char* sig;
        bool accepted;
        int patterns;  // with order entry 0 = 100
    };
    const Case cases[] = {
        {"M.K.", true, 37}, {"M!K!", true, 101},    {"M&K!", true, 37}, {"MxKy", true, 37},
        {"M!K.", true, 37}, {"4CHN", true, 101},    {"FLT4", false, 0}, {"6CHN", false, 0},
        {"m.k.", false, 0}, {"\0\0\0\0", false, 0},
    };
    for (const Case& c : cases) {
        ModBuilder b(101);
        b.signature(c.sig).order(0, 100);
        TestPlayer p(b.build());
        ASSERT_EQ(p.get() != nullptr, c.accepted) << c.sig;
        if (c.accepted) {
            EXPECT_EQ(p->pattern_count, c.patterns) << c.sig;
        }
    }
}

TEST(Loader, PatternCountTakesEveryOrderEntryIncludingUnplayedOnes) {
    ModBuilder b(8);
    b.song_length(2).order(0, 1).order(1, 3).order(127, 7);
    TestPlayer p(b.build());
    ASSERT_NE(p.get(), nullptr);
    EXPECT_EQ(p->pattern_count, 8);
    EXPECT_EQ(p->song_length, 2);
    EXPECT_EQ(p->order_table, p.image.data() + 952);
}

TEST(Loader, FirstSampleDataFollowsThePatterns) {
    const std::pair<int, uint32_t> cases[] = {{1, 2108}, {63, 65596}, {128, 132156}};
    for (auto [patterns, offset] : cases) {
        ModBuilder b(patterns);
        b.signature("M!K!").order(5, static_cast<uint8_t>(patterns - 1));
        b.sample(1, flat_sample(4, 1)).sample(2, flat_sample(6, 2));
        TestPlayer p(b.build());
        ASSERT_NE(p.get(), nullptr);
        EXPECT_EQ(p->pattern_count, patterns);
        EXPECT_EQ(reinterpret_cast<const uint8_t*>(p->samples[0].data) - p.image.data(), offset);
        EXPECT_EQ(reinterpret_cast<const uint8_t*>(p->samples[1].data) - p.image.data(),
                  offset + 4);
    }
}

TEST(Loader, SampleHeaderFields) {
    ModBuilder b;
    TestSample named;
    named.name = std::string("abc") + std::string(19, '\0');
    named.data.assign(2, 0);
    named.finetune = 0xF7;
    named.volume = 70;  // kept as stored
    TestSample big;
    big.data.assign(131070, 1);
    big.loop_start = 1000;
    big.loop_length = 200;
    b.sample(1, named).sample(2, big).title("a\0b");
    TestPlayer p(b.build());
    ASSERT_NE(p.get(), nullptr);
    EXPECT_STREQ(p->samples[0].name, "abc                   ");
    EXPECT_EQ(p->samples[0].length, 2u);
    EXPECT_EQ(p->samples[0].finetune, 7);
    EXPECT_EQ(p->samples[0].volume, 70);
    EXPECT_EQ(p->samples[1].length, 131070u);
    EXPECT_EQ(p->samples[1].loop_start, 1000u);
    EXPECT_EQ(p->samples[1].loop_length, 200u);
    EXPECT_STREQ(p->samples[2].name, std::string(22, ' ').c_str());
    EXPECT_EQ(p->sample_count, 31);
    EXPECT_EQ(p->title[0], 'a');
    EXPECT_EQ(p->title[20], '\0');
}

TEST(Loader, CellsUnpackIntoSamplePeriodAndEffect) {
    ModBuilder b;
    uint8_t raw[4] = {0x1A, 0xBC, 0xDE, 0xF1};
    b.cell(0, 5, 2, 0, 0, 0);
    std::vector<uint8_t> image = b.build();
    std::memcpy(image.data() + 1084 + 5 * 16 + 2 * 4, raw, 4);
    TestPlayer p(std::move(image));
    ASSERT_NE(p.get(), nullptr);
    const PatternCell& cell = p->patterns[0][5][2];
    EXPECT_EQ(cell.sample, 0x1D);
    EXPECT_EQ(cell.period, 0xABC);
    EXPECT_EQ(cell.effect, 0xEF1);
}

TEST(Loader, DefaultsAfterCreation) {
    ModBuilder b;
    b.sample(3, flat_sample(100, 5, 40)).cell(0, 0, 1, 3, 428, 0xA05);
    TestPlayer p(b.build());
    ASSERT_NE(p.get(), nullptr);
    EXPECT_EQ(p->samples_per_tick, 882);
    EXPECT_EQ(p->tick, 0);
    EXPECT_EQ(p->speed, 6);
    EXPECT_EQ(p->tempo, 125);
    EXPECT_EQ(p->looping, 0);
    EXPECT_EQ(p->ended, 0);
    const Channel& ch = p->channels[1];
    EXPECT_EQ(ch.effect, 0xA05);
    EXPECT_EQ(ch.period, 428);
    EXPECT_EQ(ch.sample, 3);
    EXPECT_EQ(ch.volume, 40);
    EXPECT_EQ(ch.active_sample, 0);  // nothing has started yet
    for (const Voice& v : p->voices) EXPECT_EQ(v.step, 0);
}

TEST(Loader, TickLengthFollowsTempo) {
    TestPlayer p(ModBuilder().build());
    ASSERT_NE(p.get(), nullptr);
    const std::pair<uint8_t, uint16_t> cases[] = {{125, 882}, {126, 882}, {127, 882},
                                                  {32, 3675}, {255, 432}, {1, 44100}};
    for (auto [tempo, frames] : cases) {
        p->tempo = tempo;
        player_update_tick_length(p.get());
        EXPECT_EQ(p->samples_per_tick, frames) << int(tempo);
    }
}

// --- Odd images: every read stays inside the image, the patterns and the tables. ---

TEST(Loader, RefusesImagesShorterThanHeaderOrPatterns) {
    std::vector<uint8_t> image = ModBuilder(2).order(0, 1).build();
    for (uint32_t size : {0u, 1083u, 1084u, 1084u + 1024u, 1084u + 2047u}) {
        EXPECT_EQ(player_create(44100, image.data(), size), nullptr) << size;
    }
    TestPlayer whole(image);
    EXPECT_NE(whole.get(), nullptr);
}

TEST(Loader, RefusesSongLengthZeroAndRateZero) {
    EXPECT_EQ(TestPlayer(ModBuilder().song_length(0).build()).get(), nullptr);
    EXPECT_EQ(TestPlayer(ModBuilder().build(), 0).get(), nullptr);
}

TEST(Loader, SongLengthAbove128IsLimited) {
    TestPlayer p(ModBuilder().song_length(200).build());
    ASSERT_NE(p.get(), nullptr);
    EXPECT_EQ(p->song_length, 128);
}

TEST(Loader, SamplesRunningPastTheImageAreCutShort) {
    ModBuilder b;
    TestSample s = flat_sample(100, 3);
    s.loop_start = 80;
    s.loop_length = 20;
    b.sample(1, s, 500).sample(2, flat_sample(10, 4), 50);  // declared 1000 and 100 bytes
    TestPlayer p(b.build());
    ASSERT_NE(p.get(), nullptr);
    // Sample 1 has the 110 bytes that are there; sample 2 starts past the end and is empty.
    EXPECT_EQ(p->samples[0].length, 110u);
    EXPECT_EQ(p->samples[0].loop_length, 20u);
    EXPECT_EQ(p->samples[1].length, 0u);
    EXPECT_EQ(reinterpret_cast<const uint8_t*>(p->samples[1].data),
              p.image.data() + p.image.size());
}

TEST(Loader, LoopEndPastTheSampleIsLimitedToIt) {
    ModBuilder b;
    TestSample over = flat_sample(100, 3);
    over.loop_start = 60;
    over.loop_length = 80;
    TestSample outside = flat_sample(100, 3);
    outside.loop_start = 120;
    outside.loop_length = 10;
    b.sample(1, over).sample(2, outside);
    TestPlayer p(b.build());
    ASSERT_NE(p.get(), nullptr);
    EXPECT_EQ(p->samples[0].loop_length, 40u);
    EXPECT_EQ(p->samples[1].loop_length, 0u);  // the sample plays once
}

TEST(Loader, OrderEntryNamingAMissingPatternPlaysEmpty) {
    // Mask 64: entry 100 counts as pattern 36, and only 37 patterns are unpacked.
    ModBuilder b(37);
    b.order(0, 100).cell(36, 0, 0, 0, 428, 0xC20);
    TestPlayer p(b.build());
    ASSERT_NE(p.get(), nullptr);
    EXPECT_EQ(p->pattern_count, 37);
    EXPECT_EQ(p->channels[0].effect, 0);
    EXPECT_EQ(p->channels[0].note_period, 0);
}

TEST(Loader, RowsAbove63PlayEmpty) {
    ModBuilder b;
    b.cell(0, 63, 0, 0, 428, 0xC20);
    TestPlayer p(b.build());
    ASSERT_NE(p.get(), nullptr);
    for (int row : {63, 64, 85, 255}) {
        p->row = static_cast<uint8_t>(row);
        player_fetch_row(p.get(), 0);
        EXPECT_EQ(p->channels[0].effect, row == 63 ? 0xC20 : 0) << row;
    }
}

// --- The row fetch ---

class RowFetch : public ::testing::Test {
   protected:
    void SetUp() override {
        TestSample a = flat_sample(100, 1, 40);
        a.finetune = 3;
        TestSample b = flat_sample(100, 1, 20);
        b.finetune = 5;
        builder.sample(1, a).sample(2, b);
    }
    // Plays row 0 (a note of sample 1 at 428) and then fetches `cell` as row 1 of channel 0.
    Channel fetch(uint8_t sample, uint16_t period, uint16_t effect) {
        builder.cell(0, 0, 0, 1, 428, 0xC30).cell(0, 1, 0, sample, period, effect);
        player = std::make_unique<TestPlayer>(builder.build());
        run_ticks(player->get(), 6);  // row 0 starts
        (*player)->row = 1;
        player_fetch_row(player->get(), 0);
        return (*player)->channels[0];
    }
    ModBuilder builder;
    std::unique_ptr<TestPlayer> player;
};

TEST_F(RowFetch, PeriodsAreLimited) {
    EXPECT_EQ(fetch(0, 50, 0).period, 113);
    EXPECT_EQ(fetch(0, 1000, 0).note_period, 856);
}

TEST_F(RowFetch, SampleNumberAloneRestartsAtCurrentPeriodWithItsDefaults) {
    const Channel ch = fetch(2, 0, 0);
    EXPECT_EQ(ch.trigger, 1);
    EXPECT_EQ(ch.period, 428);
    EXPECT_EQ(ch.sample, 2);
    EXPECT_EQ(ch.volume, 20);
    EXPECT_EQ(ch.finetune, 5);
}

TEST_F(RowFetch, PeriodAloneRestartsActiveSampleKeepingFinetune) {
    const Channel ch = fetch(0, 300, 0);
    EXPECT_EQ(ch.trigger, 1);
    EXPECT_EQ(ch.period, 300);
    EXPECT_EQ(ch.sample, 1);
    EXPECT_EQ(ch.volume, 40);  // back from C30 to the default
    EXPECT_EQ(ch.finetune, 3);
}

TEST_F(RowFetch, ToneEffectsKeepPeriodAndSetNotePeriod) {
    for (uint16_t effect : {0x305, 0x505}) {
        Channel ch = fetch(0, 300, effect);
        EXPECT_EQ(ch.trigger, 0) << std::hex << effect;
        EXPECT_EQ(ch.period, 428);
        EXPECT_EQ(ch.note_period, 300);
        EXPECT_EQ(ch.volume, 0x30);  // no sample number: the volume stays
        ch = fetch(2, 300, effect);
        EXPECT_EQ(ch.period, 428);
        EXPECT_EQ(ch.volume, 20);  // the sample number resets the volume only
        EXPECT_EQ(ch.trigger, 1);  // cleared by the row effect, not by the fetch
    }
}

TEST_F(RowFetch, SampleNumbersAbove31NameNoSample) {
    const Channel ch = fetch(40, 300, 0);
    EXPECT_EQ(ch.trigger, 1);
    EXPECT_EQ(ch.sample, 0);
    EXPECT_EQ(ch.volume, 0);
    EXPECT_EQ(ch.finetune, 0);
}

TEST(RowFetchFresh, NoteOnChannelThatNeverPlayedReadsNoSample) {
    ModBuilder b;
    b.sample(1, flat_sample(10, 1, 50)).cell(0, 0, 0, 0, 428, 0);
    TestPlayer p(b.build());
    ASSERT_NE(p.get(), nullptr);
    const Channel& ch = p->channels[0];
    EXPECT_EQ(ch.trigger, 1);
    EXPECT_EQ(ch.sample, 0);
    EXPECT_EQ(ch.volume, 0);
    EXPECT_EQ(ch.finetune, 0);
}

// --- sample_fetch ---

struct FetchFixture {
    ModBuilder b;
    std::unique_ptr<TestPlayer> p;
    Channel* ch = nullptr;
    int8_t out[256];

    void start(const TestSample& s, uint32_t pos = 2) {
        b.sample(1, s);
        p = std::make_unique<TestPlayer>(b.build());
        ch = &(*p)->channels[0];
        ch->active_sample = 1;
        ch->playing = 1;
        ch->first_pass = 1;
        ch->sample_pos = pos;
        voice_set_frequency(&(*p)->voices[0], 8000);
    }
    void fetch() { sample_fetch(ch, out); }
};

TEST(SampleFetch, SampleWithoutLoopEndsInZerosAndStopsTheVoice) {
    TestSample s;
    for (int k = 0; k < 300; ++k) s.data.push_back(static_cast<int8_t>(k % 120 + 1));
    FetchFixture f;
    f.start(s);
    f.fetch();
    for (int k = 0; k < 256; ++k) ASSERT_EQ(f.out[k], s.data[k + 2]);
    EXPECT_EQ(f.ch->playing, 1);
    f.fetch();
    for (int k = 0; k < 42; ++k) ASSERT_EQ(f.out[k], s.data[k + 258]);
    for (int k = 42; k < 256; ++k) ASSERT_EQ(f.out[k], 0);
    EXPECT_EQ(f.ch->playing, 0);
    EXPECT_EQ(f.ch->sample_pos, 2u);
    EXPECT_EQ((*f.p)->voices[0].step, 0);
    f.fetch();
    for (int8_t v : f.out) ASSERT_EQ(v, 0);
}

TEST(SampleFetch, ShortLoops) {
    TestSample none;  // loop start 0, length 2: no loop
    none.data = {1, 2, 3, 4, 5, 6};
    none.loop_length = 2;
    FetchFixture f;
    f.start(none);
    f.fetch();
    EXPECT_EQ(f.out[3], 6);
    EXPECT_EQ(f.out[4], 0);
    EXPECT_EQ(f.ch->playing, 0);

    TestSample two = none;  // loop start 4, length 2: bytes 4 and 5 forever
    two.loop_start = 4;
    FetchFixture g;
    g.start(two);
    g.fetch();
    const int8_t head[] = {3, 4, 5, 6, 5, 6, 5, 6};
    for (int k = 0; k < 8; ++k) EXPECT_EQ(g.out[k], head[k]) << k;
    EXPECT_EQ(g.out[255], 6);
    EXPECT_EQ(g.ch->first_pass, 0);
    EXPECT_EQ(g.ch->playing, 1);
}

TEST(SampleFetch, FirstPassEndingAtBlockBoundaryWrapsAtOnce) {
    TestSample s;
    s.data.assign(258, 9);
    s.loop_start = 100;
    s.loop_length = 50;
    FetchFixture f;
    f.start(s);
    f.fetch();
    EXPECT_EQ(f.ch->first_pass, 0);
    EXPECT_EQ(f.ch->sample_pos, 100u);
}

TEST(SampleFetch, OffsetPastTheEndCopiesNothing) {
    FetchFixture f;
    f.start(flat_sample(100, 7, 64, false), 1280);
    f.fetch();
    for (int8_t v : f.out) ASSERT_EQ(v, 0);
    EXPECT_EQ(f.ch->playing, 0);

    FetchFixture g;  // with a loop, the loop plays at once
    g.start(flat_sample(100, 7), 1280);
    g.fetch();
    EXPECT_EQ(g.out[0], 7);
    EXPECT_EQ(g.ch->first_pass, 0);
}

}  // namespace
