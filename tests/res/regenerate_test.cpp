// res/ must be exactly what tools/resgen makes: every file rebuilt, byte for byte. Run
// `build/tools/resgen/resgen res` and commit the result after changing the generator.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/framebuffer.h"
#include "loaders/obj.h"
#include "loaders/pcx.h"
#include "resgen.h"

namespace {

std::vector<uint8_t> read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A scratch directory that disappears with the test.
struct ScratchDir {
    std::filesystem::path path;
    ScratchDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "resgen-XXXXXX").string();
        path = mkdtemp(pattern.data());
    }
    ~ScratchDir() { std::filesystem::remove_all(path); }
};

TEST(Regenerate, EveryFileMatchesResByteForByte) {
    ScratchDir scratch;
    std::vector<ResourceFile> files = make_all_resources();
    std::vector<std::string> names;
    for (const ResourceFile& file : files) {
        names.push_back(file.name);
        std::ofstream(scratch.path / file.name, std::ios::binary)
            .write(reinterpret_cast<const char*>(file.bytes.data()),
                   static_cast<std::streamsize>(file.bytes.size()));
    }
    EXPECT_EQ(names,
              (std::vector<std::string>{"pumpkin.obj", "pumpkin.mtl", "pumpkin.pcx", "cube.obj",
                                        "cube.mtl", "cube.pcx", "tunnel.pcx", "brumo.mod"}));
    for (const std::string& name : names) {
        std::vector<uint8_t> made = read_file(scratch.path / name);
        std::vector<uint8_t> committed = read_file(std::filesystem::path("res") / name);
        ASSERT_FALSE(committed.empty()) << "res/" << name << " is missing";
        EXPECT_EQ(made.size(), committed.size()) << name;
        EXPECT_TRUE(made == committed) << "res/" << name << " differs from what resgen makes";
    }
}

TEST(Regenerate, TwoRunsAgree) {
    std::vector<ResourceFile> first = make_all_resources();
    std::vector<ResourceFile> second = make_all_resources();
    ASSERT_EQ(first.size(), second.size());
    for (size_t i = 0; i < first.size(); ++i) EXPECT_TRUE(first[i].bytes == second[i].bytes);
}

TEST(BinaryFraction, ParsesBackExactly) {
    for (int64_t k = -300; k <= 300; ++k) {
        std::string text = binary_fraction_text(k, 6);
        EXPECT_EQ(parse_fixed(text.c_str()), k * 1024) << text;
    }
    EXPECT_EQ(binary_fraction_text(1, 9), "0.001953125");
    EXPECT_EQ(binary_fraction_text(-96, 6), "-1.5");
    EXPECT_EQ(binary_fraction_text(28, 0), "28");
}

// Runs longer than 63, bytes that need a count, and runs that would cross a line end all
// come back through the project's own reader, with the system palette at the end.
TEST(PcxEncoding, RoundTripsThroughTheReader) {
    Image image(130, 3);
    for (int32_t x = 0; x < 130; ++x) {
        image.at(x, 0) = 7;                                        // one run of 130
        image.at(x, 1) = static_cast<uint8_t>(x < 65 ? 0xC5 : x);  // 0xC0+ bytes alone
        image.at(x, 2) = static_cast<uint8_t>(x * 37);
    }
    image.at(129, 0) = 0xFF;  // a run must stop at the line's end, not continue below
    image.at(0, 2) = 0xFF;
    std::vector<uint8_t> bytes = encode_pcx(image);
    ASSERT_EQ(bytes[bytes.size() - 769], 0x0C);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(bytes[bytes.size() - 768 + 3 * i], palette[i] >> 24);
        EXPECT_EQ(bytes[bytes.size() - 767 + 3 * i], (palette[i] >> 16) & 0xFF);
        EXPECT_EQ(bytes[bytes.size() - 766 + 3 * i], (palette[i] >> 8) & 0xFF);
    }
    ScratchDir scratch;
    std::string path = (scratch.path / "t.pcx").string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    PcxImage* read = pcx_open(path.c_str());
    ASSERT_NE(read, nullptr);
    ASSERT_EQ(pcx_decode(read), 0);
    EXPECT_EQ(read->width, 130);
    EXPECT_EQ(read->height, 3);
    EXPECT_TRUE(std::equal(image.pixels.begin(), image.pixels.end(), read->pixels));
    pcx_close(read);
    pcx_free(read);
}

// The committed textures are 8-bit single-plane files whose rows keep a signed 16-bit
// offset, as the rasteriser reads them, and whose count bytes never exceed 63.
TEST(PcxEncoding, CommittedTexturesFitTheRenderer) {
    for (const char* name : {"res/pumpkin.pcx", "res/cube.pcx", "res/tunnel.pcx"}) {
        PcxImage* image = pcx_open(name);
        ASSERT_NE(image, nullptr) << name;
        EXPECT_EQ(image->bits_per_pixel, 8);
        EXPECT_EQ(image->planes, 1);
        EXPECT_EQ(image->width % 2, 0);
        EXPECT_LE((image->height - 1) * image->width, 32767) << name;
        EXPECT_EQ(pcx_decode(image), 0);
        pcx_close(image);
        pcx_free(image);
    }
}

}  // namespace
