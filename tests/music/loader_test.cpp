// Loading: signatures, refusals, and sample headers with the limits put on odd images. Cells and
// the sample source are pinned by the recorded output of real modules (ramp_test.cpp).
#include <gtest/gtest.h>

#include <string>

#include "mod_builder.h"
#include "music/player.h"

namespace {

TEST(Loader, SignaturesPatternCountsAndRefusals) {
    // With order entry 0 = 100 (the M.K. form reads entries modulo 64) and 127 = 7, played or not.
    const char* signatures[] = {"M.K.", "M!K!", "M&K!", "M!K.", "4CHN", "FLT4", "m.k."};
    const int patterns[] = {37, 101, 37, 37, 101, 0, 0};
    for (int i = 0; i < 7; ++i) {
        TestPlayer p(ModBuilder(101).signature(signatures[i]).order(0, 100).order(127, 7).build());
        EXPECT_EQ(p.get() ? p->pattern_count : 0, patterns[i]) << signatures[i];
    }
    EXPECT_EQ(TestPlayer(ModBuilder(8).order(127, 7).build())->pattern_count, 8);
    EXPECT_EQ(TestPlayer(ModBuilder().song_length(200).build())->song_length, 128);

    // Why the first `size` bytes of the image are refused, where player_create agrees.
    const auto refusal = [](const std::vector<uint8_t>& image, uint32_t size) {
        char reason[96] = "accepted";
        const bool refused = player_refusal(image.data(), size, reason, sizeof reason);
        TestPlayer p(std::vector<uint8_t>(image.begin(), image.begin() + size));
        return refused == (p.get() == nullptr) ? std::string(reason) : "player_create disagrees";
    };
    const auto two = ModBuilder(2).order(0, 1).build();
    EXPECT_EQ(refusal(two, 1083), "too short for a module header (1083 of 1084 bytes)");
    EXPECT_EQ(refusal(two, 1084), "patterns cut short (0 of 2048 bytes)");
    EXPECT_EQ(refusal(two, 1084 + 2047), "patterns cut short (2047 of 2048 bytes)");
    EXPECT_EQ(refusal(two, 1084 + 2048), "accepted");
    EXPECT_EQ(refusal(ModBuilder().song_length(0).build(), 2108),
              "the song has no orders (song length 0)");
}

// Sample data follows the patterns; a sample is cut where the image ends and its loop is kept
// inside it.
TEST(Loader, SampleHeadersAndTheirLimits) {
    TestSample first{{0, 0}, 70, 0xF7}, over = flat_sample(100, 3), outside = over, cut = over;
    over.loop_start = 60, over.loop_length = 80;
    outside.loop_start = 120, outside.loop_length = 10;
    cut.loop_start = 80, cut.loop_length = 20;
    ModBuilder b(2);
    b.order(5, 1).sample(1, first).sample(2, over).sample(3, outside);
    std::vector<uint8_t> bytes = b.sample(4, cut, 500).sample(5, flat_sample(10, 4), 50).build();
    bytes[20] = 'a';  // sample 1's name; NULs read as spaces
    TestPlayer p(bytes);
    ASSERT_NE(p.get(), nullptr);
    const auto* image = reinterpret_cast<const int8_t*>(p.image.data());
    const SampleInfo* s = p->samples.data();
    EXPECT_EQ(std::string(s[0].name), "a" + std::string(21, ' '));
    EXPECT_EQ(s[0].finetune * 100 + s[0].volume, 770);
    EXPECT_EQ(s[1].data, image + 1084 + 2 * 1024 + 2);
    EXPECT_EQ(s[1].loop_length, 40u);
    EXPECT_EQ(s[2].loop_length, 0u);  // the sample plays once
    // Sample 4, declared 1000 bytes, has the 110 there are; sample 5 starts past the end.
    EXPECT_EQ(s[3].length, 110u);
    EXPECT_EQ(s[3].loop_start + s[3].loop_length, 100u);
    EXPECT_EQ(s[4].length, 0u);
    EXPECT_EQ(s[4].data, image + p.image.size());
    uint32_t present = 0, wanted = 0;
    EXPECT_TRUE(player_sample_data_short(p.get(), &present, &wanted));
    EXPECT_EQ(present, 2u + 100 + 100 + 110);
    EXPECT_EQ(wanted, 2u + 100 + 100 + 1000 + 100);
}

}  // namespace
