// Real modules: every accepted one plays two minutes, every refused one is refused, and the odd
// ones play or are refused without reading outside their image.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "music/player.h"

namespace {

namespace fs = std::filesystem;
const fs::path CORPUS = "../shared/corpus/mod";

std::vector<fs::path> modules(const fs::path& dir) {
    std::vector<fs::path> files;
    if (!fs::is_directory(dir)) return files;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (entry.is_regular_file()) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// The file's bytes in a buffer of exactly its size, so a read past the end is caught.
std::vector<uint8_t> read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Renders `seconds` of the module; returns false when it is refused.
bool play(const std::vector<uint8_t>& image, int seconds, uint32_t* rows) {
    ModPlayer* p = player_create(44100, image.data(), static_cast<uint32_t>(image.size()));
    if (p == nullptr) return false;
    player_set_looping(p, 1);
    player_set_row_callback(
        p, [](void* d) { ++*static_cast<uint32_t*>(d); }, rows);
    std::vector<int16_t> out(2 * 4096);
    for (int32_t left = 44100 * seconds; left > 0; left -= 4096)
        player_render_s16(p, out.data(), std::min(left, 4096));
    player_free(p);
    return true;
}

TEST(Corpus, EveryAcceptedModulePlaysTwoMinutes) {
    const auto files = modules(CORPUS);
    if (files.empty()) GTEST_SKIP() << "no corpus at " << CORPUS;
    for (const auto& f : files) {
        uint32_t rows = 0;
        EXPECT_TRUE(play(read_file(f), 120, &rows)) << f;
        EXPECT_GT(rows, 20u) << f;  // the slowest test songs take seconds per row
    }
}

TEST(Corpus, EveryRejectedModuleIsRefused) {
    const auto files = modules(CORPUS / "rejected");
    if (files.empty()) GTEST_SKIP() << "no corpus";
    for (const auto& f : files) {
        const auto image = read_file(f);
        EXPECT_EQ(player_create(44100, image.data(), static_cast<uint32_t>(image.size())), nullptr)
            << f;
    }
}

TEST(Corpus, OddModulesPlayOrAreRefusedSafely) {
    const auto files = modules(CORPUS / "edge");
    if (files.empty()) GTEST_SKIP() << "no corpus";
    int played = 0;
    for (const auto& f : files) {
        uint32_t rows = 0;
        if (play(read_file(f), 120, &rows)) ++played;
    }
    // Only the file cut off inside its patterns is refused.
    EXPECT_EQ(played, static_cast<int>(files.size()) - 1);
}

TEST(Corpus, EveryPrefixOfAModuleIsSafe) {
    const auto image = read_file(CORPUS / "ode2ptk.mod");
    if (image.empty()) GTEST_SKIP() << "no corpus";
    for (size_t size = 0; size <= image.size(); size += 997) {
        std::vector<uint8_t> prefix(image.begin(), image.begin() + static_cast<long>(size));
        uint32_t rows = 0;
        play(prefix, 1, &rows);
    }
}

}  // namespace
