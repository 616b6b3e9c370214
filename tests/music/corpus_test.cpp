// Real modules: every accepted one plays two minutes and every refused one is refused, all
// without reading outside their image.
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
    if (fs::is_directory(dir)) {
        for (const auto& entry : fs::directory_iterator(dir))
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

// Renders `seconds` of the module and returns its row count, or -1 when it is refused.
int play(const std::vector<uint8_t>& image, int seconds) {
    ModPlayer* p = player_create(44100, image.data(), static_cast<uint32_t>(image.size()));
    if (p == nullptr) return -1;
    int rows = 0;
    player_set_looping(p, 1);
    player_set_row_callback(
        p, [](void* d) { ++*static_cast<int*>(d); }, &rows);
    std::vector<int16_t> out(2 * 4096);
    for (int32_t left = 44100 * seconds; left > 0; left -= 4096)
        player_render_s16(p, out.data(), std::min(left, 4096));
    player_free(p);
    return rows;
}

TEST(Corpus, EveryAcceptedModulePlaysTwoMinutes) {
    auto files = modules(CORPUS);
    if (files.empty()) GTEST_SKIP() << "no corpus at " << CORPUS;
    for (const auto& f : modules(CORPUS / "edge")) files.push_back(f);
    for (const auto& f : files) {
        const int rows = play(read_file(f), 120);
        if (f.filename() == "prowizard_eureka_truncated.mod") {  // cut inside its patterns
            EXPECT_EQ(rows, -1);
        } else {
            EXPECT_GT(rows, 20) << f;  // the slowest songs take seconds per row
        }
    }
}

TEST(Corpus, EveryRejectedModuleIsRefused) {
    const auto files = modules(CORPUS / "rejected");
    if (files.empty()) GTEST_SKIP() << "no corpus";
    for (const auto& f : files) EXPECT_EQ(play(read_file(f), 0), -1) << f;
}

TEST(Corpus, EveryPrefixOfAModuleIsSafe) {
    const auto image = read_file(CORPUS / "ode2ptk.mod");
    if (image.empty()) GTEST_SKIP() << "no corpus";
    for (size_t size = 0; size <= image.size(); size += 997)
        play(std::vector<uint8_t>(image.begin(), image.begin() + static_cast<long>(size)), 1);
}

}  // namespace
