// The audio callback before and after the device is started. The browser's SDL calls it while
// the device is still paused (and drops what it renders); the show's clock must not move then.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/audio.h"
#include "platform/clock.h"
#include "platform/music_source.h"

namespace {

constexpr int kBufferBytes = 4096;  // 1024 stereo frames

TEST(AudioCallback, RendersSilenceAndHoldsTheClockUntilStarted) {
    if (std::FILE* f = std::fopen("res/brumo.mod", "rb")) {
        std::fclose(f);
    } else {
        GTEST_SKIP() << "res/ is not present";
    }
    music_player = load_music("res/brumo.mod", 44100, &music_data, &music_size);
    ASSERT_NE(music_player, nullptr);
    tick_count.store(0);

    std::vector<uint8_t> stream(kBufferBytes, 0xAA);
    for (int i = 0; i < 100; ++i) audio_callback(nullptr, stream.data(), kBufferBytes);
    EXPECT_EQ(tick_count.load(), 0u);
    EXPECT_TRUE(std::all_of(stream.begin(), stream.end(), [](uint8_t b) { return b == 0; }));

    start_audio();
    // 43 buffers are 44032 frames: 49 whole ticks of 882 frames.
    bool sound = false;
    for (int i = 0; i < 43; ++i) {
        audio_callback(nullptr, stream.data(), kBufferBytes);
        sound =
            sound || std::any_of(stream.begin(), stream.end(), [](uint8_t b) { return b != 0; });
    }
    EXPECT_EQ(tick_count.load(), 49u);
    EXPECT_TRUE(sound);
}

}  // namespace
