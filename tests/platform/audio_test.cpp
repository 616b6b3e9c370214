// The show's sound device: opened paused, the player looping, its stream in whole frames.
#include "platform/sdl/audio.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/clock.h"
#include "music/mod_builder.h"

namespace {

namespace fs = std::filesystem;

// Each test in a fresh folder with its own res/, SDL's audio on the dummy driver.
class Audio : public ::testing::Test {
   protected:
    void SetUp() override {
        fs::create_directories(dir_ / "res");
        fs::current_path(dir_);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    }
    void TearDown() override {
        stop();
        fs::current_path(home_);
        fs::remove_all(dir_);
    }
    static void stop() {
        SDL_CloseAudio();
        SDL_Quit();
        player_free(music_player);
        std::free(music_data);
        music_player = nullptr;
        music_data = nullptr;
    }
    // start_music over `bytes` as res/brumo.mod; what it printed on standard error, "|", then
    // on standard output.
    static std::string start(const std::vector<uint8_t>& bytes) {
        std::ofstream("res/brumo.mod", std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        start_music();
        const std::string err = testing::internal::GetCapturedStderr();
        return err + "|" + testing::internal::GetCapturedStdout();
    }
    const fs::path home_ = fs::current_path(),
                   dir_ = fs::temp_directory_path() / ("audio_test_" + std::to_string(::getpid()));
};

std::vector<uint8_t> song() {
    ModBuilder b;
    b.sample(1, flat_sample(1000, 90)).cell(0, 0, 0, 1, 428, 0).cell(0, 0, 1, 1, 300, 0x037);
    return b.build();
}

// Short sample data named with both sizes and played; no music: silence; no device: one line.
TEST_F(Audio, BrokenModulesAndNoDevice) {
    const std::vector<uint8_t> whole = song(), cut(whole.begin(), whole.end() - 400);
    EXPECT_EQ(start(cut),
              "res/brumo.mod: sample data cut short (600 of 1000 bytes); playing what "
              "is there\n|");
    EXPECT_NE(music_player, nullptr);
    stop();
    EXPECT_NE(start({}), "|");
    ASSERT_EQ(music_player, nullptr);
    std::vector<uint8_t> stream(4096, 0xAB);
    audio_callback(nullptr, stream.data(), 4096);
    EXPECT_EQ(std::count(stream.begin(), stream.end(), 0), 4096);
    stop();
    setenv("SDL_AUDIODRIVER", "nosuch", 1);
    const std::string printed = start(whole);
    EXPECT_EQ(printed.rfind("|No audio device could be opened (", 0), 0u) << printed;
    EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1) << printed;
}

// Uneven pieces (a partial frame, an empty one, one past a buffer) give the player's stream.
TEST_F(Audio, PausedLoopingAndTheCallbackRendersThePlayersStream) {
    const std::vector<uint8_t> bytes = song();
    const uint32_t ticks = tick_count.load(), rows = row_count.load();
    ASSERT_EQ(start(bytes), "|");
    ASSERT_NE(music_player, nullptr);
    EXPECT_EQ(music_player->looping, 1);
    SDL_Delay(100);  // opened paused: nothing is rendered meanwhile
    EXPECT_EQ(tick_count.load(), ticks);
    std::vector<uint8_t> heard;
    const auto play = [&heard](int len) {
        std::vector<uint8_t> piece(static_cast<size_t>(len), 0xAB);
        audio_callback(nullptr, piece.data(), len);
        heard.insert(heard.end(), piece.begin(), piece.end() - len % 4);
        EXPECT_EQ(std::count(piece.end() - len % 4, piece.end(), 0xAB), len % 4);
    };
    for (int len : {4 * 881 + 3, 3, 4 * 1, 4 * 3000, 4 * 4938, 4 * 1764}) play(len);
    EXPECT_EQ(tick_count.load() - ticks, 12u) << "882 frames a tick";
    EXPECT_EQ(row_count.load() - rows, 2u) << "a row at ticks 6 and 12";
    play(4 * 100000);
    TestPlayer twin(bytes, 44100, true);  // the show ramps
    player_set_looping(twin.get(), 1);
    std::vector<uint8_t> expected(heard.size());
    player_render_s16(twin.get(), reinterpret_cast<int16_t*>(expected.data()),
                      static_cast<int32_t>(heard.size() / 4));
    EXPECT_TRUE(heard == expected);
}

}  // namespace
