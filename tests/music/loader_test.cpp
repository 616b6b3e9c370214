// Loading: signatures, refusals, and what sample headers promise against what the image holds.
// How cells and samples sound is pinned by the recorded output (effects_test.cpp).
#include <gtest/gtest.h>

#include <string>

#include "mod_builder.h"
#include "music/player.h"

namespace {

TEST(Loader, SignaturesPatternCountsAndRefusals) {
    // With order entry 0 = 100 (the M.K. form reads entries modulo 64) and 127 = 7, played or not.
    const char* signatures[] = {"M.K.", "M!K!", "M&K!", "M!K.", "4CHN", "FLT4", "m.k.", "4CHX"};
    const int patterns[] = {37, 101, 37, 37, 101, 0, 0, 0};
    for (int i = 0; i < 8; ++i) {
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

// What the headers promise against what the image holds, reported but never heard, and names
// with NULs read as spaces; a sample past the image's end is empty.
TEST(Loader, SampleNamesAndDataCutShort) {
    ModBuilder b;
    b.sample(1, flat_sample(2, 0)).sample(2, flat_sample(100, 3), 500);
    std::vector<uint8_t> bytes = b.sample(3, flat_sample(10, 4), 50).build();
    bytes[20] = 'a';
    TestPlayer p(bytes);
    EXPECT_EQ(std::string(p->samples[0].name), "a" + std::string(21, ' '));
    EXPECT_EQ(p->samples[2].length, 0u);
    uint32_t present = 0, wanted = 0;
    EXPECT_TRUE(player_sample_data_short(p.get(), &present, &wanted));
    EXPECT_EQ(present, 2u + 110);
    EXPECT_EQ(wanted, 2u + 1000 + 100);
}

}  // namespace
