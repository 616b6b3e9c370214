#include "loaders/pcx.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "loaders/test_files.h"

namespace {

// Rows: bits, planes, width, height, the header's bytes per line (0: none).
TEST(PcxDecode, Layouts) {
    const struct {
        const char* name;
        int layout[5];
        Bytes data;
        int result;
        Bytes expected;
    } cases[] = {
        {"a run of four", {8, 1, 4, 1, 0}, {0xC4, 0x07}, 0, {7, 7, 7, 7}},
        // Width 10 takes two bytes per line; the six bits past x = 9 are dropped.
        {"1 bit", {1, 1, 10, 1, 0}, {0xA5, 0xBF}, 0, {1, 0, 1, 0, 0, 1, 0, 1, 1, 0}},
        {"2 bits", {2, 1, 5, 1, 0}, {0x1B, 0x80}, 0, {0, 1, 2, 3, 2}},
        {"4 bits", {4, 1, 3, 1, 0}, {0x12, 0x30}, 0, {1, 2, 3}},
        // Plane p gives bit p; 0xF0 needs run encoding as it has the top bits set.
        {"planes", {1, 4, 8, 1, 0}, {0x80, 0x40, 0x20, 0xC1, 0xF0}, 0, {9, 10, 12, 8, 0, 0, 0, 0}},
        {"padded lines", {8, 1, 3, 2, 4}, {1, 2, 3, 9, 4, 5, 6, 9}, 0, {1, 2, 3, 4, 5, 6}},
        {"header line too short", {8, 1, 3, 2, 1}, {1, 2, 3, 9, 4, 5}, 0, {1, 2, 3, 9, 4, 5}},
        // Cut short: what was decoded stays; runs of length 0 up to the end do not hang.
        {"one of two rows", {8, 1, 4, 2, 0}, {0xC4, 0x07}, -1, {7, 7, 7, 7, 0, 0, 0, 0}},
        {"zero-length runs only", {8, 1, 4, 2, 0}, {0xC0, 0x01, 0xC0}, -1, Bytes(8, 0)},
    };
    TempDir temp;
    for (const auto& c : cases) {
        const auto& [bits, planes, width, height, line_bytes] = c.layout;
        const PcxHeader header = pcx_layout(bits, planes, width, height, line_bytes);
        PcxImage* image = pcx_open(temp.write("i.pcx", pcx_file(header, c.data)).c_str());
        ASSERT_NE(image, nullptr) << c.name;
        EXPECT_EQ(pcx_decode(image), c.result) << c.name;
        EXPECT_EQ(Bytes(image->pixels, image->pixels + width * height), c.expected) << c.name;
        pcx_free(image);
    }
}

// The size from the header's extents, or the reason the file is refused.
TEST(PcxOpen, HeadersAcceptedOrRefusedWithTheReason) {
    const std::string depth = "bit depth or plane count not supported ";
    const struct {
        const char* name;
        PcxHeader header;
        std::string outcome;
        size_t size = 128;  // the file cut to this size
    } cases[] = {
        {"320 x 200", {.xmax = 319, .ymax = 199}, "320 x 200"},
        {"from xmin to xmax", {.xmin = 1, .ymin = 1, .xmax = 447, .ymax = 144}, "447 x 144"},
        {"negative minimum", {.xmin = -5, .ymin = -2, .xmax = 4, .ymax = 2}, "10 x 5"},
        {"widest", {.xmax = 16383}, "16384 x 1"},
        {"1 bit x 8 planes", {.bits = 1, .planes = 8}, "1 x 1"},
        {"manufacturer 0", {.manufacturer = 0}, "not a PCX image (bad header)"},
        {"uncompressed", {.encoding = 0}, "not a PCX image (bad header)"},
        {"8 bits x 3 planes", {.planes = 3}, depth + "(8 bits x 3 planes)"},
        {"3 bits", {.bits = 3}, depth + "(3 bits x 1 planes)"},
        {"2 bits x 2 planes", {.bits = 2, .planes = 2}, depth + "(2 bits x 2 planes)"},
        {"1 bit x 9 planes", {.bits = 1, .planes = 9}, depth + "(1 bits x 9 planes)"},
        {"xmax below xmin", {.xmin = 5, .xmax = 3}, "not a PCX image (bad size -1 x 1)"},
        {"ymax below ymin", {.ymin = 1, .ymax = 0}, "not a PCX image (bad size 1 x 0)"},
        {"xmax + 1 wraps", {.xmax = 32767}, "not a PCX image (bad size -32768 x 1)"},
        {"too wide",
         {.xmin = -2, .xmax = 16382},
         "image too large (16385 x 1, at most 16384 x 16384)"},
        {"too tall",
         {.ymin = -20000, .ymax = 20000},
         "image too large (1 x 40001, at most 16384 x 16384)"},
        {"cut in the header", {}, "cut short (128 bytes of header expected, 100 found)", 100},
        {"empty", {}, "empty", 0},
    };
    TempDir temp;
    for (const auto& c : cases) {
        Bytes file = pcx_file(c.header);
        file.resize(c.size);
        PcxImage* image = pcx_open(temp.write("h.pcx", file).c_str());
        const std::string outcome =
            image != nullptr ? std::to_string(image->width) + " x " + std::to_string(image->height)
                             : load_failure();
        EXPECT_EQ(outcome, image != nullptr ? c.outcome : temp.dir + "h.pcx: " + c.outcome)
            << c.name;
        pcx_free(image);
    }
    EXPECT_EQ(pcx_open(nullptr), nullptr);
    EXPECT_EQ(pcx_close(nullptr), 0);
    EXPECT_EQ(pcx_decode(nullptr), -1);
}

TEST(PcxDecode, TrailingPaletteOnlyWhenCompleteAndAnOpenFileNeeded) {
    TempDir temp;
    Bytes palette(769, 0x22);
    palette[0] = 0x0C;
    for (size_t size : {769, 100}) {
        Bytes file = pcx_8bit(1, 1, {7});
        file.insert(file.end(), palette.begin(), palette.begin() + size);
        PcxImage* image = pcx_open(temp.write("p.pcx", file).c_str());
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(pcx_decode(image), 0);
        EXPECT_EQ(image->palette[5], size == 769 ? 0x22 : 5) << size;  // else the header's map
        EXPECT_EQ(image->palette[700], size == 769 ? 0x22 : 0) << size;
        EXPECT_EQ(pcx_close(image), 0);
        EXPECT_EQ(pcx_close(image), -1);
        EXPECT_EQ(pcx_decode(image), -1);
        pcx_free(image);
    }
}

// load_tunnel_texture reads res/tunnel.pcx from the working directory, here a scratch one.
TEST(TunnelTexture, LoadsResTunnelPcxOrNamesTheFile) {
    TempDir temp;
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof(previous)), nullptr);
    ASSERT_EQ(chdir(temp.dir.c_str()), 0);
    testing::internal::CaptureStdout();
    EXPECT_EQ(load_tunnel_texture(), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "the caller says it, once";
    EXPECT_STREQ(load_failure(), "res/tunnel.pcx: cannot open: No such file or directory");
    EXPECT_EQ(tunnel_texture, nullptr);
    std::filesystem::create_directory("res");
    temp.write("res/tunnel.pcx", pcx_8bit(3, 1, {9, 8, 7}));
    ASSERT_EQ(load_tunnel_texture(), 0);
    EXPECT_EQ(tunnel_texture->width, 3u);
    EXPECT_EQ(Bytes(tunnel_texture->pixels, tunnel_texture->pixels + 3), (Bytes{9, 8, 7}));
    free_texture(tunnel_texture);
    tunnel_texture = nullptr;
    EXPECT_EQ(chdir(previous), 0);
}

}  // namespace
