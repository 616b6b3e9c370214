// The audio link: reading the module, the refusals that leave the show silent, and the device
// callback's frame arithmetic.
#include "platform/audio.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "music/mod_builder.h"
#include "platform/clock.h"

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
    static std::string start_and_capture() {
        testing::internal::CaptureStdout();
        start_music();
        return testing::internal::GetCapturedStdout();
    }
    static std::vector<uint8_t> song() {
        ModBuilder b;
        b.sample(1, flat_sample(1000, 90)).cell(0, 0, 0, 1, 428, 0).cell(0, 0, 1, 1, 300, 0x037);
        return b.build();
    }
    fs::path home, dir;
};

TEST_F(Audio, MissingModuleIsNamedAndTheShowGoesOnSilently) {
    const std::string out = start_and_capture();
    EXPECT_NE(out.find("res/brumo.mod"), std::string::npos) << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
    EXPECT_EQ(music_player, nullptr);
    std::vector<uint8_t> stream(4096, 0xAB);
    audio_callback(nullptr, stream.data(), 4096);
    for (uint8_t b : stream) ASSERT_EQ(b, 0);
}

TEST_F(Audio, ShortEmptyOrRefusedModulesAreNamed) {
    std::vector<uint8_t> refused = song();
    std::memcpy(refused.data() + 1080, "FLT4", 4);
    const std::vector<std::vector<uint8_t>> files = {{}, std::vector<uint8_t>(500, 1), refused};
    for (const auto& bytes : files) {
        write_module(bytes);
        const std::string out = start_and_capture();
        EXPECT_NE(out.find("res/brumo.mod"), std::string::npos) << out;
        EXPECT_EQ(music_player, nullptr);
        SDL_CloseAudio();
        std::free(music_data);
        music_data = nullptr;
    }
}

TEST_F(Audio, StartMusicMakesALoopingCountingPlayerAndOpensThePausedDevice) {
    const auto bytes = song();
    write_module(bytes);
    const uint32_t ticks = tick_count.load();
    EXPECT_EQ(start_and_capture(), "");
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
    TestPlayer twin(bytes);
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
    const std::string out = start_and_capture();
    EXPECT_NE(out.find("No audio device"), std::string::npos) << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
    EXPECT_NE(music_player, nullptr);
}

}  // namespace
