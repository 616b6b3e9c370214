// The tools' file writers: WAV music and PNG frames say what they hold, and a write that fails,
// even only when the file is closed, is reported with the file and the system's reason.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "png_io.h"
#include "wav_file.h"

namespace {

namespace fs = std::filesystem;

class Writers : public ::testing::Test {
   protected:
    void SetUp() override {
        char name[] = "/tmp/writers_XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        dir_ = name;
    }
    void TearDown() override { fs::remove_all(dir_); }

    static std::vector<uint8_t> bytes(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    static uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
        return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
    }

    fs::path dir_;
};

// After every piece the file on disk is a whole WAV of what it holds, so a run ended by a
// signal before it could finish (a capture whose listing went to a closed pipe) leaves playable
// music, not a header that says it holds nothing.
TEST_F(Writers, WavHeaderFollowsEveryPiece) {
    const fs::path path = dir_ / "music.wav";
    std::string error;
    WavFile wav;
    ASSERT_TRUE(wav.open(path, 44100, 0, &error)) << error;
    const int16_t first[4] = {1, -1, 0x1234, -0x1234};
    const int16_t second[2] = {0x7FFF, -0x8000};
    ASSERT_TRUE(wav.append(first, 2, &error)) << error;
    ASSERT_TRUE(wav.append(second, 1, &error)) << error;
    std::vector<uint8_t> b = bytes(path);
    ASSERT_EQ(b.size(), 44u + 12u);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
    EXPECT_EQ(le32(b, 4), 36u + 12u);
    EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(le32(b, 24), 44100u);
    EXPECT_EQ(le32(b, 28), 44100u * 4);
    EXPECT_EQ(std::string(b.begin() + 36, b.begin() + 40), "data");
    EXPECT_EQ(le32(b, 40), 12u);
    // Little-endian samples in order, the second piece after the first.
    EXPECT_EQ(
        std::vector<uint8_t>(b.begin() + 44, b.end()),
        (std::vector<uint8_t>{1, 0, 0xFF, 0xFF, 0x34, 0x12, 0xCC, 0xED, 0xFF, 0x7F, 0, 0x80}));
    ASSERT_TRUE(wav.finish(&error)) << error;
    EXPECT_EQ(bytes(path), b);
}

TEST_F(Writers, FailuresNameTheFileAndTheReason) {
    std::string error;
    {
        WavFile cut;  // an unfinished file of our own is not left behind
        ASSERT_TRUE(cut.open(dir_ / "cut.wav", 44100, 0, &error)) << error;
    }
    EXPECT_FALSE(fs::exists(dir_ / "cut.wav"));

    WavFile nowhere;
    EXPECT_FALSE(nowhere.open(dir_ / "no/dir.wav", 44100, 0, &error));
    EXPECT_EQ(error, (dir_ / "no/dir.wav").string() + ": cannot create: No such file or directory");

    // A device that takes nothing: a WAV promising its length and a PNG small enough to sit in
    // the buffer both fail only when they are closed.
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
