// modplay as a user runs it: help, usage errors that name the option, failures that name the
// file and create nothing, and WAV files of exactly the asked or played length, bit for bit
// what the player renders.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "music/mod_builder.h"
#include "tools/run_tool.h"

namespace {

namespace fs = std::filesystem;

void write_bytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// Each test runs in a fresh directory holding song.mod (a short song that ends by itself),
// cut.mod (the same with its sample data cut short), noise.mod, empty.mod and a directory.
class Modplay : public testing::Test {
   protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("modplay_test_" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir / "folder.mod");
        song = ModBuilder(1)
                   .sample(1, flat_sample(2000, 60))
                   .cell(0, 0, 0, 1, 428, 0)
                   .cell(0, 0, 1, 1, 285, 0x037)
                   .cell(0, 40, 2, 1, 214, 0)
                   .cell(0, 47, 3, 0, 0, 0xB00)  // back to the start: the song ends there
                   .build();
        write_bytes(dir / "song.mod", song);
        write_bytes(dir / "cut.mod", std::vector<uint8_t>(song.begin(), song.end() - 500));
        write_bytes(dir / "noise.mod", std::vector<uint8_t>(3000, 0x5A));
        // 128 orders of rows 240 ticks long at tempo 32: almost two hours.
        ModBuilder slow = std::move(ModBuilder(1).song_length(128).cell(0, 0, 1, 0, 0, 0xF1F));
        slow.cell(0, 0, 2, 0, 0, 0xF20);
        for (int row = 0; row < MOD_ROWS; ++row) slow.cell(0, row, 0, 0, 0, 0xEEF);
        write_bytes(dir / "endless.mod", slow.build());
        write_bytes(dir / "empty.mod", {});
    }
    void TearDown() override { fs::remove_all(dir); }

    // Runs modplay in the test's directory with a time limit; stdin from `input` if given.
    ToolRun run(const std::vector<std::string>& args, const std::string& input = "/dev/null",
                const std::string& audio_driver = "dummy") const {
        return run_tool("SDL_AUDIODRIVER=" + audio_driver + " timeout 30 " + MODPLAY, args, dir,
                        dir, input);
    }

    // The WAV's sample frames after checking its header.
    std::vector<int16_t> wav_frames(const fs::path& path) const {
        const std::string bytes = read_file(path);
        EXPECT_GE(bytes.size(), 44u);
        if (bytes.size() < 44) return {};
        auto u32 = [&](size_t at) {
            uint32_t v = 0;
            for (int k = 3; k >= 0; --k) v = v << 8 | static_cast<uint8_t>(bytes[at + k]);
            return v;
        };
        EXPECT_EQ(bytes.substr(0, 4), "RIFF");
        EXPECT_EQ(bytes.substr(8, 8), "WAVEfmt ");
        EXPECT_EQ(u32(24), 44100u);
        EXPECT_EQ(u32(40), bytes.size() - 44);  // the data size is what the file holds
        EXPECT_EQ(u32(4), bytes.size() - 8);
        std::vector<int16_t> frames((bytes.size() - 44) / 2);
        for (size_t i = 0; i < frames.size(); ++i) {
            frames[i] = static_cast<int16_t>(static_cast<uint8_t>(bytes[44 + 2 * i]) |
                                             static_cast<uint8_t>(bytes[45 + 2 * i]) << 8);
        }
        return frames;
    }

    fs::path dir;
    std::vector<uint8_t> song;
};

TEST_F(Modplay, HelpUsageErrorsAndFailures) {
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* out_starts;  // stdout begins with this ("" for empty output)
        const char* err_starts;  // stderr begins with this
    };
    const Case cases[] = {
        {{"--help"}, 0, "usage: modplay", ""},
        {{"song.mod", "-h"}, 0, "usage: modplay", ""},
        {{"--bogus", "song.mod"}, 2, "", "modplay: --bogus: unknown option\nusage: modplay"},
        {{"song.mod", "--seconds", "abc", "-o", "x.wav"},
         2,
         "",
         "modplay: --seconds: needs a number of seconds from 0 to 21600 (like 1.5), got abc\n"
         "usage: modplay"},
        {{"song.mod", "-o", "x.wav", "--seconds", "-1"}, 2, "", "modplay: --seconds: "},
        {{"song.mod", "-o", "x.wav", "--seconds", "0"},
         2,
         "",
         "modplay: --seconds: needs at least one frame (1/44100 s), got 0\n"},
        {{"song.mod", "-o", "x.wav", "--seconds"}, 2, "", "modplay: --seconds: needs a value\n"},
        {{"song.mod", "-o", "x.wav", "--loop"}, 2, "", "modplay: --loop: needs --seconds with -o"},
        {{"-o", "x.wav"}, 2, "", "modplay: no module given\nusage: modplay"},
        {{"song.mod", "song.mod", "-o", "x.wav"},
         2,
         "",
         "modplay: song.mod: unexpected argument\n"},
        {{"missing.mod", "-o", "x.wav"},
         1,
         "",
         "modplay: missing.mod: cannot open: No such file or directory\n"},
        {{"folder.mod", "-o", "x.wav"}, 1, "", "modplay: folder.mod: is a directory\n"},
        {{"empty.mod", "-o", "x.wav"}, 1, "", "modplay: empty.mod: empty\n"},
        {{"noise.mod", "-o", "x.wav"},
         1,
         "",
         "modplay: noise.mod: not a 4-channel module (no M.K., M!K! or 4CHN signature)\n"},
        {{"endless.mod", "-o", "x.wav"},
         1,
         "",
         "modplay: endless.mod: the song does not end within 60:00.0; give --seconds\n"},
        {{"song.mod", "-o", "no/such/dir/x.wav"},
         1,
         "song.mod\n",
         "modplay: no/such/dir/x.wav: cannot create: No such file or directory\n"},
    };
    for (const Case& c : cases) {
        const std::string what = testing::PrintToString(c.args);
        const ToolRun r = run(c.args);
        EXPECT_EQ(r.status, c.status) << what << "\n" << r.err;
        EXPECT_EQ(r.out.substr(0, std::string(c.out_starts).size()), c.out_starts) << what;
        if (std::string(c.out_starts).empty()) {
            EXPECT_EQ(r.out, "") << what;
        }
        EXPECT_EQ(r.err.substr(0, std::string(c.err_starts).size()), c.err_starts) << what;
        if (c.status == 0) {
            EXPECT_EQ(r.err, "") << what;
        }
        EXPECT_FALSE(fs::exists(dir / "x.wav")) << what << ": created before the inputs were good";
    }
}

TEST_F(Modplay, WavHoldsExactlyTheAskedOrPlayedLength) {
    const uint64_t song_frames =
        player_song_frames(44100, song.data(), static_cast<uint32_t>(song.size()), ~0ull);
    ASSERT_GT(song_frames, 44100u);
    struct Case {
        std::vector<std::string> args;
        uint64_t frames;
        bool looping;
        bool ramping = true;
    };
    const Case cases[] = {
        {{"song.mod", "-o", "out.wav", "--seconds", "1.5"}, 66150, false},
        {{"song.mod", "-o", "out.wav", "--seconds", "0.01"}, 441, false},
        {{"song.mod", "-o", "out.wav", "--seconds", "0.00002"}, 1, false},
        {{"song.mod", "-o", "out.wav"}, song_frames, false},  // the song's own end
        {{"song.mod", "-o", "out.wav", "--seconds", "100"}, song_frames, false},
        {{"-", "-o", "out.wav"}, song_frames, false},  // the module from standard input
        {{"song.mod", "-o", "out.wav", "--seconds", "20.25", "--loop"}, 893025, true},
        {{"song.mod", "-o", "out.wav", "--no-ramp"}, song_frames, false, false},
    };
    for (const Case& c : cases) {
        const std::string what = testing::PrintToString(c.args);
        const ToolRun r = run(c.args, (dir / "song.mod").string());
        ASSERT_EQ(r.status, 0) << what << "\n" << r.err;
        EXPECT_EQ(r.err, "") << what;
        EXPECT_NE(r.out.find("Wrote out.wav"), std::string::npos) << what << r.out;
        const std::vector<int16_t> frames = wav_frames(dir / "out.wav");
        EXPECT_EQ(frames.size(), 2 * c.frames) << what;
        // What the player renders, looping or not, ramping or not, until the song ends or the
        // frames pass.
        TestPlayer p(song, 44100, c.ramping);
        player_set_looping(p.get(), c.looping);
        std::vector<int16_t> expected(2 * c.frames);
        player_render_s16(p.get(), expected.data(), static_cast<int32_t>(c.frames));
        EXPECT_TRUE(frames == expected) << what;
        fs::remove(dir / "out.wav");
    }
}

// A song longer than the hour it is measured to without --seconds still gets all the seconds
// asked for (written through a link to /dev/null: 66 minutes of WAV).
TEST_F(Modplay, LongSongGetsTheSecondsAskedForPastAnHour) {
    fs::create_symlink("/dev/null", dir / "null.wav");
    const ToolRun r = run({"endless.mod", "-o", "null.wav", "--seconds", "4000"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Wrote null.wav: 66:40.0, 176400000 frames\n"), std::string::npos)
        << r.out;
}

// Writing that fails says why, also when only the last buffered bytes fail, and removes only a
// file of its own: here the output is a link to a device that is always full.
TEST_F(Modplay, WritingThatFailsSaysWhyAndLeavesWhatItDidNotCreate) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    fs::create_symlink("/dev/full", dir / "full.wav");
    for (const char* seconds : {"0.001", "3"}) {
        const ToolRun r = run({"song.mod", "-o", "full.wav", "--seconds", seconds});
        EXPECT_EQ(r.status, 1) << seconds;
        EXPECT_EQ(r.err, "modplay: full.wav: writing failed: No space left on device\n") << seconds;
        EXPECT_TRUE(fs::is_symlink(dir / "full.wav")) << seconds << ": the link was removed";
    }
}

// Through SDL's dummy audio driver, which plays in real time: a short stretch, then the end.
TEST_F(Modplay, PlaysThroughTheDeviceOrSaysWhyNot) {
    const ToolRun played = run({"song.mod", "--seconds", "0.3"});
    EXPECT_EQ(played.status, 0) << played.err;
    EXPECT_EQ(played.err, "");
    EXPECT_NE(played.out.find("\r0:00.3 / 0:05.8 \n"), std::string::npos) << played.out;
    const ToolRun silent = run({"song.mod", "--seconds", "0.3"}, "/dev/null", "nosuch");
    EXPECT_EQ(silent.status, 1);
    EXPECT_EQ(silent.err.rfind("modplay: no audio device could be opened: ", 0), 0u) << silent.err;
}

TEST_F(Modplay, SampleDataCutShortPlaysAndSaysSoOnce) {
    const ToolRun r = run({"cut.mod", "-o", "out.wav", "--seconds", "2"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err,
              "cut.mod: sample data cut short (1500 of 2000 bytes); playing what is there\n");
    EXPECT_EQ(wav_frames(dir / "out.wav").size(), 2u * 88200);
}

TEST_F(Modplay, SampleNamesAndTitleShowNoControlCharacters) {
    std::vector<uint8_t> named = song;
    const char title[] = "bad\x1b[2Jtitle\x07";
    std::memcpy(named.data(), title, sizeof title - 1);
    named[20] = 'a';
    named[21] = 0x1B;
    named[22] = '\r';
    named[23] = 'b';
    write_bytes(dir / "named.mod", named);
    const ToolRun r = run({"named.mod", "-o", "out.wav", "--seconds", "0.1"});
    EXPECT_EQ(r.status, 0) << r.err;
    for (char ch : r.out) {
        const auto c = static_cast<unsigned char>(ch);
        ASSERT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7F)) << static_cast<int>(c) << "\n" << r.out;
    }
    EXPECT_NE(r.out.find("Title: \"bad?[2Jtitle?\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("a??b"), std::string::npos) << r.out;
}

}  // namespace
