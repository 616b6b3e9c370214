// Loading: signatures, pattern counting, sample headers, cells, limits on odd images, the row
// fetch and sample_fetch.
#include <gtest/gtest.h>

#include "mod_builder.h"
#include "music/player.h"

namespace {

const uint8_t* at(const int8_t* p) {
    return reinterpret_cast<const uint8_t*>(p);
}

TEST(Loader, SignaturesAndOrderMasks) {
    struct Case {
        const char* sig;
        int patterns;  // with order entry 0 = 100; 0: refused
    };
    const Case cases[] = {{"M.K.", 37}, {"M!K!", 101},  {"M&K!", 37}, {"MxKy", 37},
                          {"M!K.", 37}, {"4CHN", 101},  {"FLT4", 0},  {"6CHN", 0},
                          {"m.k.", 0},  {"\0\0\0\0", 0}};
    for (const Case& c : cases) {
        TestPlayer p(ModBuilder(101).signature(c.sig).order(0, 100).build());
        EXPECT_EQ(p.get() ? p->pattern_count : 0, c.patterns) << c.sig;
    }
}

TEST(Loader, PatternCountTakesEveryOrderEntryIncludingUnplayedOnes) {
    TestPlayer p(ModBuilder(8).song_length(2).order(0, 1).order(1, 3).order(127, 7).build());
    ASSERT_NE(p.get(), nullptr);
    EXPECT_EQ(p->pattern_count, 8);
    EXPECT_EQ(p->song_length, 2);
    EXPECT_EQ(p->order_table, p.image.data() + 952);
    EXPECT_EQ(TestPlayer(ModBuilder().song_length(200).build())->song_length, 128);
}

TEST(Loader, FirstSampleDataFollowsThePatterns) {
    const std::pair<int, uint32_t> cases[] = {{1, 2108}, {63, 65596}, {128, 132156}};
    for (auto [patterns, offset] : cases) {
        ModBuilder b(patterns);
        b.signature("M!K!").order(5, static_cast<uint8_t>(patterns - 1));
        TestPlayer p(b.sample(1, flat_sample(4, 1)).sample(2, flat_sample(6, 2)).build());
        ASSERT_NE(p.get(), nullptr);
        EXPECT_EQ(p->pattern_count, patterns);
        EXPECT_EQ(at(p->samples[0].data) - p.image.data(), offset) << patterns;
        EXPECT_EQ(at(p->samples[1].data) - p.image.data(), offset + 4) << patterns;
    }
}

TEST(Loader, SampleHeaderFields) {
    TestSample named;
    named.name = std::string("abc") + std::string(19, '\0');
    named.data.assign(2, 0);
    named.finetune = 0xF7;
    named.volume = 70;  // kept as stored
    TestSample big = flat_sample(131070, 1);
    big.loop_start = 1000;
    big.loop_length = 200;
    TestPlayer p(ModBuilder().sample(1, named).sample(2, big).build());
    ASSERT_NE(p.get(), nullptr);
    EXPECT_STREQ(p->samples[0].name, "abc                   ");
    EXPECT_STREQ(p->samples[2].name, std::string(22, ' ').c_str());
    EXPECT_EQ(p->samples[0].finetune, 7);
    EXPECT_EQ(p->samples[0].volume, 70);
    EXPECT_EQ(p->samples[1].length, 131070u);
    EXPECT_EQ(p->samples[1].loop_start, 1000u);
    EXPECT_EQ(p->samples[1].loop_length, 200u);
}

TEST(Loader, CellsUnpackIntoSamplePeriodAndEffect) {
    std::vector<uint8_t> image = ModBuilder().build();
    const uint8_t raw[4] = {0x1A, 0xBC, 0xDE, 0xF1};
    std::memcpy(image.data() + 1084 + 5 * 16 + 2 * 4, raw, 4);
    TestPlayer p(std::move(image));
    ASSERT_NE(p.get(), nullptr);
    const PatternCell& cell = p->patterns[0][5][2];
    EXPECT_EQ(cell.sample, 0x1D);
    EXPECT_EQ(cell.period, 0xABC);
    EXPECT_EQ(cell.effect, 0xEF1);
}

// --- Odd images: every read stays inside the image, the patterns and the tables. ---

TEST(Loader, RefusalsAndTheirReasons) {
    const std::vector<uint8_t> two = ModBuilder(2).order(0, 1).build();
    const std::vector<uint8_t> flt4 = ModBuilder().signature("FLT4").build();
    const std::vector<uint8_t> empty_song = ModBuilder().song_length(0).build();
    struct Case {
        const std::vector<uint8_t>* image;
        uint32_t size;
        const char* reason;  // null: accepted
    };
    const Case cases[] = {
        {&two, 0, "too short for a module header (0 of 1084 bytes)"},
        {&two, 1083, "too short for a module header (1083 of 1084 bytes)"},
        {&two, 1084, "patterns cut short (0 of 2048 bytes)"},
        {&two, 1084 + 2047, "patterns cut short (2047 of 2048 bytes)"},
        {&two, 1084 + 2048, nullptr},
        {&flt4, 1084 + 1024, "not a 4-channel module (no M.K., M!K! or 4CHN signature)"},
        {&empty_song, 1084 + 1024, "the song has no orders (song length 0)"},
    };
    for (const Case& c : cases) {
        char reason[96] = "unchanged";
        const bool refused = player_refusal(c.image->data(), c.size, reason, sizeof reason);
        EXPECT_EQ(refused, c.reason != nullptr) << c.size;
        EXPECT_STREQ(c.reason ? reason : nullptr, c.reason) << c.size;
        ModPlayer* p = player_create(44100, c.image->data(), c.size);
        EXPECT_EQ(p != nullptr, c.reason == nullptr) << c.size;
        player_free(p);
    }
    EXPECT_EQ(TestPlayer(ModBuilder().build(), 0).get(), nullptr) << "rate 0";
}

// The sample data the headers promise against what the image holds.
TEST(Loader, SampleDataCutShortIsCounted) {
    ModBuilder b;
    b.sample(1, flat_sample(100, 3)).sample(2, flat_sample(300, 4));
    const std::vector<uint8_t> whole = b.build();
    for (uint32_t cut : {0u, 1u, 300u, 400u}) {
        std::vector<uint8_t> image(whole.begin(), whole.end() - cut);
        TestPlayer p(image);
        ASSERT_NE(p.get(), nullptr);
        uint32_t present = 0, wanted = 0;
        EXPECT_EQ(player_sample_data_short(p.get(), &present, &wanted), cut != 0) << cut;
        EXPECT_EQ(present, 400 - cut);
        EXPECT_EQ(wanted, 400u);
    }
}

TEST(Loader, SamplesAreCutAtTheImageEndAndLoopsLimitedToThem) {
    TestSample cut = flat_sample(100, 3);
    cut.loop_start = 80;
    cut.loop_length = 20;
    TestSample over = flat_sample(100, 3);
    over.loop_start = 60;
    over.loop_length = 80;
    TestSample outside = flat_sample(100, 3);
    outside.loop_start = 120;
    outside.loop_length = 10;
    ModBuilder b;
    b.sample(1, over).sample(2, outside);
    b.sample(3, cut, 500).sample(4, flat_sample(10, 4), 50);  // declared 1000 and 100 bytes
    TestPlayer p(b.build());
    ASSERT_NE(p.get(), nullptr);
    EXPECT_EQ(p->samples[0].loop_length, 40u);
    EXPECT_EQ(p->samples[1].loop_length, 0u);  // the sample plays once
    // Sample 3 has the 110 bytes that are there; sample 4 starts past the end and is empty.
    EXPECT_EQ(p->samples[2].length, 110u);
    EXPECT_EQ(p->samples[2].loop_length, 20u);
    EXPECT_EQ(p->samples[3].length, 0u);
    EXPECT_EQ(at(p->samples[3].data), p.image.data() + p.image.size());
}

TEST(Loader, MissingPatternsAndRowsAbove63PlayEmpty) {
    // Mask 64: entry 100 counts as pattern 36, and only 37 patterns are unpacked.
    TestPlayer p(ModBuilder(37).order(0, 100).cell(36, 0, 0, 0, 428, 0xC20).build());
    ASSERT_NE(p.get(), nullptr);
    EXPECT_EQ(p->pattern_count, 37);
    EXPECT_EQ(p->channels[0].effect, 0);
    EXPECT_EQ(p->channels[0].note_period, 0);

    TestPlayer q(ModBuilder().cell(0, 63, 0, 0, 428, 0xC20).build());
    for (int row : {63, 64, 85, 255}) {
        q->row = static_cast<uint8_t>(row);
        player_fetch_row(q.get(), 0);
        EXPECT_EQ(q->channels[0].effect, row == 63 ? 0xC20 : 0) << row;
    }
}

// --- The row fetch: row 0 plays sample 1 (volume 40, finetune 3) at 428 with C30; the case's
// cell follows as row 1. Sample 2 has volume 20 and finetune 5. ---

TEST(RowFetch, Cells) {
    struct Case {
        const char* what;
        uint8_t sample;
        uint16_t period, effect;
        std::array<int, 6> expect;  // trigger, period, note period, sample, volume, finetune
    };
    const Case cases[] = {
        {"period below 113", 0, 50, 0, {1, 113, 113, 1, 40, 3}},
        {"period above 856", 0, 1000, 0, {1, 856, 856, 1, 40, 3}},
        {"sample alone: current period", 2, 0, 0, {1, 428, 0, 2, 20, 5}},
        {"period alone: active sample", 0, 300, 0, {1, 300, 300, 1, 40, 3}},
        {"3xx keeps the period", 0, 300, 0x305, {0, 428, 300, 1, 0x30, 3}},
        {"5xy keeps the period", 0, 300, 0x505, {0, 428, 300, 1, 0x30, 3}},
        {"3xx, sample resets volume", 2, 300, 0x305, {1, 428, 300, 2, 20, 5}},
        {"5xy, sample resets volume", 2, 300, 0x505, {1, 428, 300, 2, 20, 5}},
        {"sample above 31", 40, 300, 0, {1, 300, 300, 0, 0, 0}},
    };
    TestSample a = flat_sample(100, 1, 40), b = flat_sample(100, 1, 20);
    a.finetune = 3;
    b.finetune = 5;
    for (const Case& c : cases) {
        ModBuilder mb;
        mb.sample(1, a).sample(2, b).cell(0, 0, 0, 1, 428, 0xC30);
        TestPlayer p(mb.cell(0, 1, 0, c.sample, c.period, c.effect).build());
        run_ticks(p.get(), 6);  // row 0 starts
        p->row = 1;
        player_fetch_row(p.get(), 0);
        const Channel& ch = p->channels[0];
        const std::array<int, 6> got = {ch.trigger, ch.period, ch.note_period,
                                        ch.sample,  ch.volume, ch.finetune};
        EXPECT_EQ(got, c.expect) << c.what;
    }
}

TEST(RowFetch, NoteOnChannelThatNeverPlayedReadsNoSample) {
    TestPlayer p(ModBuilder().sample(1, flat_sample(10, 1, 50)).cell(0, 0, 0, 0, 428, 0).build());
    ASSERT_NE(p.get(), nullptr);
    const Channel& ch = p->channels[0];
    EXPECT_EQ(ch.trigger, 1);
    EXPECT_EQ(ch.sample, 0);
    EXPECT_EQ(ch.volume, 0);
    EXPECT_EQ(ch.finetune, 0);
}

// --- sample_fetch: a channel playing sample 1 from `pos`, after one fetch ---

struct Fetch {
    std::unique_ptr<TestPlayer> p;
    Channel* ch = nullptr;
    int8_t out[256];

    Fetch(std::vector<int8_t> data, uint32_t loop_start, uint32_t loop_length, uint32_t pos) {
        TestSample s;
        s.data = std::move(data);
        s.loop_start = loop_start;
        s.loop_length = loop_length;
        p = std::make_unique<TestPlayer>(ModBuilder().sample(1, s).build());
        ch = &(*p)->channels[0];
        ch->active_sample = ch->playing = ch->first_pass = 1;
        ch->sample_pos = pos;
        voice_set_frequency(&(*p)->voices[0], 8000);
        sample_fetch(ch, out);
    }
    std::vector<int8_t> head(size_t n) const { return {out, out + n}; }
};

TEST(SampleFetch, SampleWithoutLoopEndsInZerosAndStopsTheVoice) {
    const std::vector<int8_t> data = ramp(300, 120);
    Fetch f(data, 0, 0, 2);
    EXPECT_EQ(f.head(256), std::vector<int8_t>(data.begin() + 2, data.begin() + 258));
    EXPECT_EQ(f.ch->playing, 1);
    sample_fetch(f.ch, f.out);
    for (int k = 0; k < 256; ++k) ASSERT_EQ(f.out[k], k < 42 ? data[k + 258] : 0) << k;
    EXPECT_EQ(f.ch->playing, 0);
    EXPECT_EQ(f.ch->sample_pos, 2u);
    EXPECT_EQ((*f.p)->voices[0].step, 0);
    sample_fetch(f.ch, f.out);
    EXPECT_EQ(f.head(256), std::vector<int8_t>(256, 0));
}

TEST(SampleFetch, ShortLoopsBlockEndsAndOffsetsPastTheEnd) {
    const std::vector<int8_t> six = {1, 2, 3, 4, 5, 6};
    Fetch none(six, 0, 2, 2);  // a loop of length 2 at 0 is no loop
    EXPECT_EQ(none.head(5), (std::vector<int8_t>{3, 4, 5, 6, 0}));
    EXPECT_EQ(none.ch->playing, 0);
    Fetch two(six, 4, 2, 2);
    EXPECT_EQ(two.head(8), (std::vector<int8_t>{3, 4, 5, 6, 5, 6, 5, 6}));
    EXPECT_EQ(two.out[255], 6);
    EXPECT_EQ(two.ch->first_pass, 0);
    EXPECT_EQ(two.ch->playing, 1);
    Fetch wrap(std::vector<int8_t>(258, 9), 100, 50, 2);  // the first pass ends at the block end
    EXPECT_EQ(wrap.ch->first_pass, 0);
    EXPECT_EQ(wrap.ch->sample_pos, 100u);
    Fetch past(std::vector<int8_t>(100, 7), 0, 0, 1280);
    EXPECT_EQ(past.head(256), std::vector<int8_t>(256, 0));
    EXPECT_EQ(past.ch->playing, 0);
    Fetch past_loop(std::vector<int8_t>(100, 7), 0, 100, 1280);  // the loop plays at once
    EXPECT_EQ(past_loop.out[0], 7);
    EXPECT_EQ(past_loop.ch->first_pass, 0);
}

}  // namespace
