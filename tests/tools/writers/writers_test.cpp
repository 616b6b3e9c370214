// The tools' file writers: WAV headers kept current; failures at close named with their reason.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "png_io.h"
#include "tools/run_tool.h"
#include "wav_file.h"

namespace {

// A run ended by a signal (a capture whose listing went to a closed pipe) leaves playable music.
TEST(Writers, WavHeaderFollowsEveryPiece) {
    const ScratchDir dir;
    std::string error;
    WavFile wav;
    ASSERT_TRUE(wav.open(dir / "music.wav", 44100, 0, &error)) << error;
    const int16_t first[4] = {1, -1, 0x1234, -0x1234}, second[2] = {0x7FFF, -0x8000};
    ASSERT_TRUE(wav.append(first, 2, &error)) << error;
    ASSERT_TRUE(wav.append(second, 1, &error)) << error;
    const std::string b = read_file(dir / "music.wav");
    // RIFF size 48, PCM, stereo, 44100 Hz, 176400 B/s, 4-byte frames of 16 bits, 12 data bytes.
    const std::string want = std::string(
        "RIFF0\0\0\0WAVEfmt \x10\0\0\0\1\0\2\0D\xAC\0\0\x10\xB1\2\0\4\0\x10\0data\x0C\0\0\0"
        "\1\0\xFF\xFF\x34\x12\xCC\xED\xFF\x7F\0\x80",
        56);
    EXPECT_EQ(b, want);
    ASSERT_TRUE(wav.finish(&error)) << error;
    EXPECT_EQ(read_file(dir / "music.wav"), want);
}

// On a device that takes nothing, a WAV promising its length and a small PNG fail only at close.
TEST(Writers, FailuresAtCloseNameTheFileAndTheReason) {
    std::string error;
    WavFile full;
    ASSERT_TRUE(full.open("/dev/full", 44100, 1, &error)) << error;
    const int16_t frame[2] = {0, 0};
    ASSERT_TRUE(full.append(frame, 1, &error)) << error;
    EXPECT_FALSE(full.finish(&error));
    EXPECT_EQ(error, "/dev/full: writing failed: No space left on device");
    const std::vector<uint32_t> pixels(8 * 8, 0xFF000000);
    EXPECT_FALSE(write_png_rgbx("/dev/full", pixels.data(), 8, 8, &error));
    EXPECT_EQ(error, "cannot write /dev/full: No space left on device");
}

}  // namespace
