// The audio link: reading the module, the refusals that leave the show silent, and the device
// callback's frame arithmetic.
#include "platform/sdl/audio.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/clock.h"
#include "music/mod_builder.h"

namespace {

namespace fs = std::filesystem;

// Runs each test in a fresh directory with its own res/, with the audio globals cleared and
// SDL's audio on the dummy driver.
class Audio : public ::testing::Test {
   protected:
    void SetUp() override {
        home = fs::current_path();
        dir = fs::temp_directory_path() / ("audio_test_" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir / "res");
        fs::current_path(dir);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    }
    void TearDown() override {
        SDL_CloseAudio();
        SDL_Quit();
        player_free(music_player);
        std::free(music_data);
        music_player = nullptr;
        music_data = nullptr;
        music_size = 0;
        fs::current_path(home);
        fs::remove_all(dir);
    }
    static void write_module(const std::vector<uint8_t>& bytes) {
        std::ofstream(fs::path("res") / "brumo.mod", std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    // What start_music prints: the module's lines on standard error, the device's on
    // standard output.
    struct Printed {
        std::string out, err;
    };
    static Printed start_and_capture() {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        start_music();
        Printed printed;
        printed.err = testing::internal::GetCapturedStderr();
        printed.out = testing::internal::GetCapturedStdout();
        return printed;
    }
    static std::vector<uint8_t> song() {
        ModBuilder b;
        b.sample(1, flat_sample(1000, 90)).cell(0, 0, 0, 1, 428, 0).cell(0, 0, 1, 1, 300, 0x037);
        return b.build();
    }
    fs::path home, dir;
};

TEST_F(Audio, MissingModuleIsNamedAndTheShowGoesOnSilently) {
    const Printed printed = start_and_capture();
    EXPECT_EQ(printed.err,
              "res/brumo.mod: cannot open: No such file or directory; playing without music\n");
    EXPECT_EQ(printed.out, "");
    EXPECT_EQ(music_player, nullptr);
    std::vector<uint8_t> stream(4096, 0xAB);
    audio_callback(nullptr, stream.data(), 4096);
    for (uint8_t b : stream) ASSERT_EQ(b, 0);
}

// Each broken module is named on standard error with the reason, in one line; the show goes on
// without music, except for sample data cut short, which plays what is there.
TEST_F(Audio, BrokenModulesAreNamedWithTheReason) {
    std::vector<uint8_t> refused = song();
    std::memcpy(refused.data() + 1080, "FLT4", 4);
    const std::vector<uint8_t> whole = song();
    const std::vector<uint8_t> short_samples(whole.begin(), whole.end() - 400);
    struct Case {
        std::vector<uint8_t> bytes;  // written when `kind` is a file
        fs::file_type kind;
        const char* reason;
        bool plays;
    };
    const Case cases[] = {
        {{}, fs::file_type::regular, "empty; playing without music", false},
        {{}, fs::file_type::directory, "is a directory; playing without music", false},
        // A pipe nobody writes to would hold the open, and start-up, for ever.
        {{}, fs::file_type::fifo, "not a regular file; playing without music", false},
        // The player's reasons for refusing the bytes themselves are passed on as they are; one
        // stands for them all.
        {refused, fs::file_type::regular,
         "not a 4-channel module (no M.K., M!K! or 4CHN signature); playing without music", false},
        {short_samples, fs::file_type::regular,
         "sample data cut short (600 of 1000 bytes); playing what is there", true},
    };
    for (const Case& c : cases) {
        fs::remove_all("res/brumo.mod");
        if (c.kind == fs::file_type::directory) {
            fs::create_directory("res/brumo.mod");
        } else if (c.kind == fs::file_type::fifo) {
            ASSERT_EQ(mkfifo("res/brumo.mod", 0600), 0);
        } else {
            write_module(c.bytes);
        }
        const Printed printed = start_and_capture();
        EXPECT_EQ(printed.err, std::string("res/brumo.mod: ") + c.reason + "\n");
        EXPECT_EQ(printed.out, "");
        EXPECT_EQ(music_player != nullptr, c.plays) << c.reason;
        SDL_CloseAudio();
        player_free(music_player);
        music_player = nullptr;
        std::free(music_data);
        music_data = nullptr;
    }
}

TEST_F(Audio, StartMusicMakesALoopingCountingPlayerAndOpensThePausedDevice) {
    const auto bytes = song();
    write_module(bytes);
    const uint32_t ticks = tick_count.load();
    const Printed printed = start_and_capture();
    EXPECT_EQ(printed.out, "");
    EXPECT_EQ(printed.err, "");
    ASSERT_NE(music_player, nullptr);
    EXPECT_EQ(music_size, bytes.size());
    EXPECT_EQ(music_player->looping, 1);
    EXPECT_EQ(music_player->tick_callback, &count_tick);
    EXPECT_EQ(music_player->row_callback, &count_row);
    SDL_Delay(100);  // paused: the player does not advance
    EXPECT_EQ(tick_count.load(), ticks);
    EXPECT_EQ(music_player->tick_sample_pos, 0);
}

TEST_F(Audio, CallbackRendersWholeFramesAndTicksFollowFramesNotCalls) {
    write_module(song());
    start_and_capture();
    ASSERT_NE(music_player, nullptr);
    const uint32_t ticks = tick_count.load();
    const uint32_t rows = row_count.load();
    std::vector<uint8_t> stream(4 * 5000, 0xAB);
    audio_callback(nullptr, stream.data(), 4 * 881 + 3);
    for (int k = 4 * 881; k < 4 * 881 + 3; ++k)
        EXPECT_EQ(stream[k], 0xAB);  // a partial frame is left alone
    EXPECT_EQ(tick_count.load() - ticks, 0u);
    // The rest of 882 x 12 frames in uneven pieces, including an empty one.
    for (int len : {3, 4 * 1, 4 * 3000, 4 * 4938, 4 * 1764})
        audio_callback(nullptr, stream.data(), len);
    EXPECT_EQ(tick_count.load() - ticks, 12u);
    EXPECT_EQ(row_count.load() - rows, 2u);  // the first row at tick 6, the second at tick 12
    EXPECT_EQ(music_player->tick_sample_pos, 0);
}

TEST_F(Audio, LongDeviceBuffersRenderAsOneStream) {
    const auto bytes = song();
    write_module(bytes);
    start_and_capture();
    ASSERT_NE(music_player, nullptr);
    TestPlayer twin(bytes, 44100, true);  // the show ramps
    player_set_looping(twin.get(), 1);
    const int frames = 100000;
    std::vector<int16_t> device(2 * frames), expected(2 * frames);
    audio_callback(nullptr, reinterpret_cast<uint8_t*>(device.data()), 4 * frames);
    player_render_s16(twin.get(), expected.data(), frames);
    EXPECT_EQ(device, expected);
}

TEST_F(Audio, NoDeviceIsReportedInOneLine) {
    setenv("SDL_AUDIODRIVER", "nosuch", 1);
    write_module(song());
    const std::string out = start_and_capture().out;
    EXPECT_NE(out.find("No audio device"), std::string::npos) << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
    EXPECT_NE(music_player, nullptr);
}

}  // namespace
