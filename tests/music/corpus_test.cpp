// Real modules: every accepted one plays two minutes and every refused one is refused, all
// without reading outside their image; and neither the show's tune nor the corpus clicks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "music/module.h"

namespace {

namespace fs = std::filesystem;
const fs::path CORPUS = "../shared/corpus/mod";

std::vector<fs::path> modules(const fs::path& dir) {
    std::vector<fs::path> files;
    std::error_code missing;
    for (const auto& entry : fs::directory_iterator(dir, missing))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

// The file's bytes in a buffer of exactly its size, so a read past the end is caught.
std::vector<uint8_t> read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// `seconds` of the module, looping, a tick (or 4096 frames) at a time; rows is -1 if refused.
struct Rendering {
    std::vector<int16_t> audio;       // interleaved stereo
    std::vector<uint16_t> into_tick;  // each frame's place in its tick
    int rows = 0;
};

Rendering render(const std::vector<uint8_t>& image, int seconds, bool ramping, bool by_tick) {
    Rendering r{std::vector<int16_t>(2 * 44100 * size_t(seconds)), {}, -1};
    ModPlayer* p = player_create(44100, image.data(), uint32_t(image.size()));
    if (p == nullptr) return r;
    r.rows = 0;
    player_set_looping(p, 1);
    player_set_ramping(p, ramping);
    player_set_row_callback(
        p, [](void* d) { ++*static_cast<int*>(d); }, &r.rows);
    for (size_t done = 0; done < r.audio.size() / 2;) {
        const auto n =
            std::min(size_t(by_tick ? player_frames_to_tick(p) : 4096), r.audio.size() / 2 - done);
        for (size_t i = 0; i < n && by_tick; ++i) r.into_tick.push_back(uint16_t(i));
        player_render_s16(p, r.audio.data() + 2 * done, int32_t(n));
        done += n;
    }
    player_free(p);
    return r;
}

TEST(Corpus, EveryAcceptedModulePlaysAndEveryRefusedOneIsRefused) {
    auto files = modules(CORPUS);
    if (files.empty()) GTEST_SKIP() << "no corpus at " << CORPUS;
    for (const auto& f : modules(CORPUS / "edge")) files.push_back(f);
    for (const auto& f : files) {
        // One is cut inside its patterns; the slowest songs take seconds per row.
        const int rows = render(read_file(f), 120, true, false).rows;
        EXPECT_TRUE(f.filename() == "prowizard_eureka_truncated.mod" ? rows == -1 : rows > 20) << f;
    }
    for (const auto& f : modules(CORPUS / "rejected"))
        EXPECT_EQ(render(read_file(f), 0, true, false).rows, -1) << f;
}

TEST(Corpus, EveryPrefixOfAModuleIsSafe) {
    const auto image = read_file(CORPUS / "ode2ptk.mod");
    if (image.empty()) GTEST_SKIP() << "no corpus";
    for (size_t size = 0; size <= image.size(); size += 997)
        render(std::vector<uint8_t>(image.begin(), image.begin() + long(size)), 1, true, false);
}

// A click: a jump of more than 8,000 between neighbouring samples of one side where the 32 steps
// before it moved less than a quarter of that.
bool is_click(const std::vector<int16_t>& audio, size_t i, int side) {
    const auto step = [&](size_t k) {
        return std::abs(audio[2 * k + size_t(side)] - audio[2 * k - 2 + size_t(side)]);
    };
    if (i < 33 || step(i) <= 8000) return false;
    for (size_t k = i - 32; k < i; ++k)
        if (4 * step(k) >= step(i)) return false;
    return true;
}

struct Clicks {
    int all = 0, player = 0, unramped = 0;  // with ramping, of those the player's, without
};

// Notes change only at tick boundaries: a click a few frames into a tick, or one the unramped
// output lacks, is the player's; any other is an edge of the samples themselves.
Clicks count_clicks(const std::vector<uint8_t>& image) {
    const Rendering ramped = render(image, 90, true, true), exact = render(image, 90, false, true);
    Clicks c;
    for (int side = 0; side < 2; ++side) {
        for (size_t i = 0; i < ramped.into_tick.size(); ++i) {
            c.unramped += is_click(exact.audio, i, side);
            if (!is_click(ramped.audio, i, side)) continue;
            ++c.all;
            c.player += ramped.into_tick[i] < 4 || !is_click(exact.audio, i, side);
        }
    }
    return c;
}

TEST(Clicks, TheShowsTuneHasNone) {
    const Clicks c = count_clicks(read_file("res/brumo.mod"));
    EXPECT_EQ(c.player, 0) << c.all << " clicks in all";
    EXPECT_GT(c.unramped, 10) << "the detector finds the clicks ramping removes";
}

// Songs of bare square and saw waves fire the detector on the waves themselves, over five times
// a second even with ramping: they are reported but not counted.
TEST(Clicks, TheCorpusHasAtMostTwoPerModuleOnAverage) {
    const auto files = modules(CORPUS);
    if (files.empty()) GTEST_SKIP() << "no corpus at " << CORPUS;
    int counted = 0, total = 0;
    for (const auto& f : files) {
        const Clicks c = count_clicks(read_file(f));
        const bool waves = c.all > 5 * 90;
        std::printf("%-32s %5d of the player, %6d in all, %6d without ramping%s\n",
                    f.filename().c_str(), c.player, c.all, c.unramped,
                    waves ? " (bare waves: not counted)" : "");
        counted += !waves;
        total += waves ? 0 : c.player;
    }
    EXPECT_LE(total, 2 * counted) << total << " clicks in " << counted << " modules";
}

}  // namespace
