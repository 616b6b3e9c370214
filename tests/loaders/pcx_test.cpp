#include "loaders/pcx.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "loaders/test_files.h"

namespace {

struct Decoded {
    int result;  // pcx_decode's, or -2 when pcx_open refused the file
    Bytes pixels;
};

Decoded decode(const Bytes& file) {
    TempDir temp;
    PcxImage* image = pcx_open(temp.write("image.pcx", file).c_str());
    if (image == nullptr) return {-2, {}};
    Decoded out{pcx_decode(image),
                Bytes(image->pixels, image->pixels + image->width * image->height)};
    EXPECT_EQ(pcx_close(image), 0);
    pcx_free(image);
    return out;
}

TEST(PcxDecode, Layouts) {
    struct Case {
        const char* name;
        int bits, planes, width, height, line_bytes;  // line_bytes: the header's, 0 for none
        Bytes data;
        int result;
        Bytes expected;
    };
    const Case cases[] = {
        {"a run of four", 8, 1, 4, 1, 0, {0xC4, 0x07}, 0, {7, 7, 7, 7}},
        {"zero-length run", 8, 1, 3, 1, 0, {0xC0, 0x55, 0x01, 0xC2, 0x09}, 0, {1, 9, 9}},
        {"literal", 8, 1, 2, 1, 0, {0xBF, 0x00}, 0, {0xBF, 0}},
        {"run into the next line", 8, 1, 4, 2, 0, {0xC6, 5, 1, 2}, 0, {5, 5, 5, 5, 5, 5, 1, 2}},
        {"run past the last line", 8, 1, 2, 1, 0, {0xC5, 0x03}, 0, {3, 3}},
        // Width 10 takes two bytes per line; the six bits past x = 9 are dropped.
        {"1 bit", 1, 1, 10, 1, 0, {0xA5, 0xBF}, 0, {1, 0, 1, 0, 0, 1, 0, 1, 1, 0}},
        {"2 bits", 2, 1, 5, 1, 0, {0x1B, 0x80}, 0, {0, 1, 2, 3, 2}},
        {"4 bits", 4, 1, 3, 1, 0, {0x12, 0x30}, 0, {1, 2, 3}},
        // Plane p gives bit p; 0xF0 needs run encoding as it has the top bits set.
        {"4 planes", 1, 4, 8, 1, 0, {0x80, 0x40, 0x20, 0xC1, 0xF0}, 0, {9, 10, 12, 8, 0, 0, 0, 0}},
        {"padded lines", 8, 1, 3, 2, 4, {1, 2, 3, 9, 4, 5, 6, 9}, 0, {1, 2, 3, 4, 5, 6}},
        {"header line length too short", 8, 1, 3, 2, 1, {1, 2, 3, 9, 4, 5}, 0, {1, 2, 3, 9, 4, 5}},
        // Truncated data: what was decoded stays.
        {"one of two rows", 8, 1, 4, 2, 0, {0xC4, 0x07}, -1, {7, 7, 7, 7, 0, 0, 0, 0}},
        {"run without its value", 8, 1, 4, 2, 0, {0xC2}, -1, Bytes(8, 0)},
        {"zero-length runs only", 8, 1, 4, 2, 0, {0xC0, 0x01, 0xC0}, -1, Bytes(8, 0)},
        {"no data", 8, 1, 4, 2, 0, {}, -1, Bytes(8, 0)},
    };
    for (const Case& c : cases) {
        PcxHeader h = pcx_layout(c.bits, c.planes, c.width, c.height, c.line_bytes);
        Decoded d = decode(pcx_header(h) + c.data);
        EXPECT_EQ(d.result, c.result) << c.name;
        EXPECT_EQ(d.pixels, c.expected) << c.name;
    }
}

TEST(PcxDecode, TrailingPaletteOnlyWhenComplete) {
    TempDir temp;
    Bytes palette(769, 0x22);
    palette[0] = 0x0C;
    for (size_t size : {769, 100}) {
        Bytes tail(palette.begin(), palette.begin() + size);
        PcxImage* image = pcx_open(temp.write("p.pcx", pcx_8bit(1, 1, {7}) + tail).c_str());
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(pcx_decode(image), 0);
        EXPECT_EQ(image->palette[5], size == 769 ? 0x22 : 5) << size;  // else the header's map
        EXPECT_EQ(image->palette[700], size == 769 ? 0x22 : 0) << size;
        // Decoding and closing need an open file.
        EXPECT_EQ(pcx_close(image), 0);
        EXPECT_EQ(pcx_close(image), -1);
        EXPECT_EQ(pcx_decode(image), -1);
        pcx_free(image);
    }
}

TEST(PcxOpen, AcceptedSizesAndRefusedHeaders) {
    struct Case {
        const char* name;
        PcxHeader header;       // 8 bits, 1 plane, 1 x 1 where not set
        int32_t width, height;  // 0: refused
    };
    const Case cases[] = {
        {"320 x 200", {.xmax = 319, .ymax = 199}, 320, 200},
        {"width from xmin and xmax", {.xmin = 1, .ymin = 1, .xmax = 447, .ymax = 144}, 447, 144},
        {"negative minimum", {.xmin = -5, .ymin = -2, .xmax = 4, .ymax = 2}, 10, 5},
        {"widest", {.xmax = 16383}, 16384, 1},
        {"1 bit x 4 planes", {.bits = 1, .planes = 4}, 1, 1},
        {"manufacturer 0", {.manufacturer = 0}, 0, 0},
        {"uncompressed", {.encoding = 0}, 0, 0},
        {"8 bits x 3 planes", {.planes = 3}, 0, 0},
        {"24 bits", {.bits = 24}, 0, 0},
        {"3 bits", {.bits = 3}, 0, 0},
        {"2 bits x 2 planes", {.bits = 2, .planes = 2}, 0, 0},
        {"no planes", {.planes = 0}, 0, 0},
        {"1 bit x 9 planes", {.bits = 1, .planes = 9}, 0, 0},
        {"xmax below xmin", {.xmin = 5, .xmax = 3}, 0, 0},
        {"ymax below ymin", {.ymin = 1, .ymax = 0}, 0, 0},
        {"xmax + 1 wraps", {.xmax = 32767}, 0, 0},
        {"wider than the limit", {.xmin = -2, .xmax = 16382}, 0, 0},
        {"taller than the limit", {.ymin = -20000, .ymax = 20000}, 0, 0},
    };
    TempDir temp;
    for (const Case& c : cases) {
        PcxImage* image = pcx_open(temp.write("r.pcx", pcx_header(c.header)).c_str());
        EXPECT_EQ(image != nullptr, c.width != 0) << c.name;
        if (image != nullptr) {
            EXPECT_EQ(image->width, c.width) << c.name;
            EXPECT_EQ(image->height, c.height) << c.name;
        }
        pcx_free(image);
    }
    Bytes short_header = pcx_header(pcx_layout(8, 1, 4, 4));
    short_header.resize(100);
    EXPECT_EQ(pcx_open(temp.write("s.pcx", short_header).c_str()), nullptr);
    EXPECT_EQ(pcx_open(temp.write("e.pcx", Bytes{}).c_str()), nullptr);
    EXPECT_EQ(pcx_open((temp.dir() + "missing.pcx").c_str()), nullptr);
    EXPECT_EQ(pcx_open(nullptr), nullptr);
    EXPECT_EQ(pcx_close(nullptr), 0);
    EXPECT_EQ(pcx_decode(nullptr), -1);
}

// Runs load_tunnel_texture with the working directory set to a scratch directory.
int load_tunnel_in(const TempDir& temp, std::string& output) {
    char previous[4096];
    EXPECT_NE(getcwd(previous, sizeof(previous)), nullptr);
    EXPECT_EQ(chdir(temp.dir().c_str()), 0);
    testing::internal::CaptureStdout();
    int result = load_tunnel_texture();
    output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(chdir(previous), 0);
    return result;
}

TEST(TunnelTexture, LoadsResTunnelPcxOrSaysWhichFileFailed) {
    TempDir temp;
    std::string output;
    std::filesystem::create_directory(temp.dir() + "res");
    Bytes truncated = pcx_8bit(2, 2, {1, 2, 3, 4});
    truncated.resize(131);
    for (bool present : {false, true}) {  // missing, then truncated
        if (present) temp.write("res/tunnel.pcx", truncated);
        EXPECT_EQ(load_tunnel_in(temp, output), -1);
        EXPECT_EQ(tunnel_texture, nullptr);
        EXPECT_EQ(output, "Unable to load texture 'res/tunnel.pcx'\n");
    }
    temp.write("res/tunnel.pcx", pcx_8bit(3, 1, {9, 8, 7}));
    ASSERT_EQ(load_tunnel_in(temp, output), 0);
    EXPECT_EQ(output, "");
    ASSERT_NE(tunnel_texture, nullptr);
    EXPECT_EQ(tunnel_texture->width, 3u);
    EXPECT_EQ(Bytes(tunnel_texture->pixels, tunnel_texture->pixels + 3), (Bytes{9, 8, 7}));
    free_texture(tunnel_texture);
    tunnel_texture = nullptr;
}

}  // namespace
