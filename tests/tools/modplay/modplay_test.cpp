// modplay as run: WAV files as the player renders them; failures named, nothing left; the device.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "music/mod_builder.h"
#include "tools/run_tool.h"
#include "wav_file.h"

namespace {

namespace fs = std::filesystem;

void write_bytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
}

// song.mod (ends), cut.mod (short samples), named.mod (control characters), endless.mod (2 h).
class Modplay : public testing::Test {
   protected:
    void SetUp() override {
        song_ = ModBuilder(1)
                    .sample(1, flat_sample(2000, 60))
                    .cell(0, 0, 0, 1, 428, 0)
                    .cell(0, 0, 1, 1, 285, 0x037)
                    .cell(0, 40, 2, 1, 214, 0)
                    .cell(0, 47, 3, 0, 0, 0xB00)  // back to the start: the song ends there
                    .build();
        write_bytes(dir_ / "song.mod", song_);
        write_bytes(dir_ / "cut.mod", std::vector<uint8_t>(song_.begin(), song_.end() - 500));
        std::vector<uint8_t> named = song_;
        std::memcpy(named.data(), "bad\x1b[2Jtitle\x07", 13);
        std::memcpy(named.data() + 20, "a\x1b\rb", 4);
        write_bytes(dir_ / "named.mod", named);
        // 128 orders of rows 240 ticks long at tempo 32.
        ModBuilder slow = std::move(ModBuilder(1).song_length(128).cell(0, 0, 1, 0, 0, 0xF1F));
        slow.cell(0, 0, 2, 0, 0, 0xF20);
        for (int row = 0; row < MOD_ROWS; ++row) slow.cell(0, row, 0, 0, 0, 0xEEF);
        write_bytes(dir_ / "endless.mod", slow.build());
        fs::create_symlink("/dev/full", dir_ / "full.wav");
        fs::create_symlink("/dev/null", dir_ / "null.wav");
    }
    ToolRun run(const std::string& line, const std::string& driver = "dummy") const {
        return run_tool("SDL_AUDIODRIVER=" + driver + " timeout 60 " + MODPLAY,
                        words(line, dir_.path), dir_.path, dir_ / "song.mod");
    }
    ScratchDir dir_;
    std::vector<uint8_t> song_;
};

TEST_F(Modplay, WavFilesAndFailures) {
    constexpr uint64_t kSong = ~0ull;  // the song's own length
    const struct {
        const char* args;
        int status;
        const char* err;
        const char* out_has;
        uint64_t frames;  // in out.wav; 0: no out.wav
        bool loop = false, ramp = true;
    } cases[] = {
        {"song.mod -o out.wav --seconds 1.5", 0, "", "Wrote out.wav: 0:01.5, 66150 frames\n",
         66150},
        {"song.mod -o out.wav --seconds 0.00002", 0, "", "", 1},
        {"song.mod -o out.wav", 0, "", "", kSong},
        {"song.mod -o out.wav --seconds 100", 0, "", "", kSong},
        {"- -o out.wav", 0, "", "standard input\n", kSong},
        {"song.mod -o out.wav --seconds 20.25 --loop", 0, "", "", 893025, true},
        {"song.mod -o out.wav --no-ramp", 0, "", "", kSong, false, false},
        {"cut.mod -o out.wav --seconds 2", 0,
         "cut.mod: sample data cut short (1500 of 2000 bytes); playing what is there\n", "", 88200},
        {"named.mod -o out.wav --seconds 0.1", 0, "", "Title: \"bad?[2Jtitle?\"\n   1  a??b", 4410},
        // A song longer than the hour it is measured to gets all the seconds asked for.
        {"endless.mod -o null.wav --seconds 4000", 0, "",
         "Wrote null.wav: 66:40.0, 176400000 frames\n", 0},
        {"endless.mod -o out.wav", 1,
         "modplay: endless.mod: the song does not end within 60:00.0; give --seconds\n", "", 0},
        {"song.mod -o no/out.wav", 1,
         "modplay: no/out.wav: cannot create: No such file or directory\n", "song.mod\n", 0},
        // Writing that fails says why, also when only the last buffered bytes fail, and
        // removes only a file of its own.
        {"song.mod -o full.wav --seconds 0.001", 1,
         "modplay: full.wav: writing failed: No space left on device\n", "", 0},
        {"song.mod -o full.wav --seconds 3", 1,
         "modplay: full.wav: writing failed: No space left on device\n", "", 0},
    };
    const uint64_t song_frames =
        player_song_frames(44100, song_.data(), static_cast<uint32_t>(song_.size()), ~0ull);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const ToolRun r = run(c.args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_EQ(r.err, c.err);
        EXPECT_NE(r.out.find(c.out_has), std::string::npos) << r.out;
        for (char ch : r.out) ASSERT_TRUE(ch == '\n' || (ch >= 0x20 && ch < 0x7F)) << r.out;
        EXPECT_TRUE(fs::is_symlink(dir_ / "full.wav"));
        if (c.frames == 0) {
            EXPECT_FALSE(fs::exists(dir_ / "out.wav"));
            continue;
        }
        const uint64_t frames = c.frames == kSong ? song_frames : c.frames;
        const std::string name = words(c.args, "")[0],
                          image = read_file(dir_ / (name == "-" ? "song.mod" : name));
        TestPlayer p(std::vector<uint8_t>(image.begin(), image.end()), 44100, c.ramp);
        player_set_looping(p.get(), c.loop);
        std::vector<int16_t> expected(2 * frames);
        player_render_s16(p.get(), expected.data(), static_cast<int32_t>(frames));
        // The whole file as the WAV writer (pinned by writers_test) writes those frames.
        WavFile want;
        std::string error;
        ASSERT_TRUE(want.open(dir_ / "want.wav", 44100, 0, &error) &&
                    want.append(expected.data(), static_cast<int32_t>(frames), &error) &&
                    want.finish(&error))
            << error;
        EXPECT_TRUE(read_file(dir_ / "out.wav") == read_file(dir_ / "want.wav"));
        fs::remove(dir_ / "out.wav");
    }
}

// Through SDL's dummy audio driver, which plays in real time: a short stretch, then the end.
TEST_F(Modplay, PlaysThroughTheDeviceOrSaysWhyNot) {
    const ToolRun played = run("song.mod --seconds 0.3");
    EXPECT_EQ(played.status, 0) << played.err;
    EXPECT_EQ(played.err, "");
    EXPECT_NE(played.out.find("\r0:00.3 / 0:05.8 \n"), std::string::npos) << played.out;
    const ToolRun silent = run("song.mod --seconds 0.3", "nosuch");
    EXPECT_EQ(silent.status, 1);
    EXPECT_EQ(silent.err.rfind("modplay: no audio device could be opened: ", 0), 0u) << silent.err;
}

}  // namespace
