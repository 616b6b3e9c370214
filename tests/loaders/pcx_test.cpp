#include "loaders/pcx.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "loaders/test_files.h"

namespace {

// Decodes a PCX file made of `header` and `data`; the pixels, or an empty vector with
// `result` -2 when the header is refused.
struct Decoded {
    int result;
    int32_t width, height;
    Bytes pixels;
};

Decoded decode(const Bytes& file) {
    TempDir temp;
    std::string path = temp.write("image.pcx", file);
    PcxImage* image = pcx_open(path.c_str());
    if (image == nullptr) return {-2, 0, 0, {}};
    Decoded out;
    out.result = pcx_decode(image);
    out.width = image->width;
    out.height = image->height;
    out.pixels.assign(image->pixels, image->pixels + image->width * image->height);
    EXPECT_EQ(pcx_close(image), 0);
    pcx_free(image);
    return out;
}

PcxHeader header(int bits, int planes, int width, int height, int line_bytes = 0) {
    PcxHeader h;
    h.bits = bits;
    h.planes = planes;
    h.xmax = width - 1;
    h.ymax = height - 1;
    h.line_bytes = line_bytes;
    return h;
}

TEST(PcxDecode, RunsAndLiterals) {
    struct Case {
        const char* name;
        int width, height;
        Bytes data;
        Bytes expected;
    };
    const Case cases[] = {
        {"a run of four", 4, 1, {0xC4, 0x07}, {7, 7, 7, 7}},
        {"a zero-length run yields nothing", 3, 1, {0xC0, 0x55, 0x01, 0xC2, 0x09}, {1, 9, 9}},
        {"a literal byte is one pixel", 2, 1, {0xBF, 0x00}, {0xBF, 0}},
        {"a run past the line end carries on into the next line",
         4,
         2,
         {0xC6, 0x05, 0x01, 0x02},
         {5, 5, 5, 5, 5, 5, 1, 2}},
        {"the rest of a run past the last line is dropped", 2, 1, {0xC5, 0x03}, {3, 3}},
    };
    for (const Case& c : cases) {
        Decoded d = decode(pcx_header(header(8, 1, c.width, c.height)) + c.data);
        EXPECT_EQ(d.result, 0) << c.name;
        EXPECT_EQ(d.pixels, c.expected) << c.name;
    }
}

TEST(PcxDecode, OneBitWidthTenUsesTwoBytesPerLine) {
    // 0xA5 0xBF: pixels 1 0 1 0 0 1 0 1 | 1 0, then six bits past x = 9 dropped.
    Decoded d = decode(pcx_header(header(1, 1, 10, 2)) + Bytes{0xA5, 0xBF, 0xC2, 0x00});
    ASSERT_EQ(d.result, 0);
    EXPECT_EQ(d.pixels, (Bytes{1, 0, 1, 0, 0, 1, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(PcxDecode, TwoAndFourBitPixelsTakeTheHighBitsFirst) {
    Decoded two = decode(pcx_header(header(2, 1, 5, 1)) + Bytes{0x1B, 0x80});
    EXPECT_EQ(two.pixels, (Bytes{0, 1, 2, 3, 2}));
    Decoded four = decode(pcx_header(header(4, 1, 3, 1)) + Bytes{0x12, 0x30});
    EXPECT_EQ(four.pixels, (Bytes{1, 2, 3}));
}

TEST(PcxDecode, FourOneBitPlanesMakeIndicesWithPlaneZeroAsBitZero) {
    // Planes 0..3 of one 8-pixel line; 0xF0 needs run encoding as it has the top bits set.
    Bytes data = {0x80, 0x40, 0x20, 0xC1, 0xF0};
    Decoded d = decode(pcx_header(header(1, 4, 8, 1)) + data);
    ASSERT_EQ(d.result, 0);
    EXPECT_EQ(d.pixels, (Bytes{1 | 8, 2 | 8, 4 | 8, 8, 0, 0, 0, 0}));
}

TEST(PcxDecode, HeaderLineLengthPaddingIsDropped) {
    // Width 3 with lines padded to 4 bytes: the padding byte is not the next line's first pixel.
    Bytes data = {0x01, 0x02, 0x03, 0x09, 0x04, 0x05, 0x06, 0x09};
    Decoded padded = decode(pcx_header(header(8, 1, 3, 2, 4)) + data);
    EXPECT_EQ(padded.pixels, (Bytes{1, 2, 3, 4, 5, 6}));
    // A header line length shorter than the width needs is not trusted.
    Decoded short_field = decode(pcx_header(header(8, 1, 3, 2, 1)) + data);
    EXPECT_EQ(short_field.pixels, (Bytes{1, 2, 3, 9, 4, 5}));
}

TEST(PcxDecode, TrailingPaletteReplacesTheHeaderMapOnlyWhenComplete) {
    TempDir temp;
    Bytes palette(769, 0x22);
    palette[0] = 0x0C;
    for (bool complete : {true, false}) {
        Bytes file = pcx_header(header(8, 1, 1, 1)) + Bytes{0x07} +
                     (complete ? palette : Bytes(palette.begin(), palette.begin() + 100));
        PcxImage* image = pcx_open(temp.write("p.pcx", file).c_str());
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->palette[5], 5);  // from the header's colour map
        EXPECT_EQ(pcx_decode(image), 0);
        EXPECT_EQ(image->palette[5], complete ? 0x22 : 5);
        EXPECT_EQ(image->palette[700], complete ? 0x22 : 0);
        pcx_free(image);
    }
}

TEST(PcxDecode, EndOfFileInsideTheImageFails) {
    const Bytes truncated[] = {
        {0xC4, 0x07},  // one of two rows
        {0xC2},        // a run without its value
        {0xC0},        // a trailing zero-length run
        {0xC0, 0x01, 0xC0, 0x01},
        {},
    };
    for (const Bytes& data : truncated) {
        Decoded d = decode(pcx_header(header(8, 1, 4, 2)) + data);
        EXPECT_EQ(d.result, -1) << data.size() << " bytes of data";
    }
}

TEST(PcxOpen, DimensionsComeFromTheBoundingBox) {
    struct Case {
        int xmin, ymin, xmax, ymax;
        int32_t width, height;
    };
    for (const Case& c : {Case{0, 0, 319, 199, 320, 200}, Case{1, 1, 447, 144, 447, 144},
                          Case{-5, -2, 4, 2, 10, 5}, Case{0, 0, 16383, 0, 16384, 1}}) {
        PcxHeader h;
        h.xmin = c.xmin, h.ymin = c.ymin, h.xmax = c.xmax, h.ymax = c.ymax;
        TempDir temp;
        PcxImage* image = pcx_open(temp.write("d.pcx", pcx_header(h)).c_str());
        ASSERT_NE(image, nullptr) << c.xmax;
        EXPECT_EQ(image->width, c.width);
        EXPECT_EQ(image->height, c.height);
        EXPECT_TRUE(image->valid);
        pcx_free(image);
    }
}

TEST(PcxOpen, RefusesWhatItCannotRead) {
    struct Case {
        const char* name;
        PcxHeader header;
    };
    auto with = [](auto change) {
        PcxHeader h = header(8, 1, 4, 4);
        change(h);
        return h;
    };
    const Case cases[] = {
        {"manufacturer 0", with([](PcxHeader& h) { h.manufacturer = 0; })},
        {"uncompressed", with([](PcxHeader& h) { h.encoding = 0; })},
        {"8 bits x 3 planes", with([](PcxHeader& h) { h.planes = 3; })},
        {"8 bits x 4 planes", with([](PcxHeader& h) { h.planes = 4; })},
        {"24 bits", with([](PcxHeader& h) { h.bits = 24; })},
        {"0 bits", with([](PcxHeader& h) { h.bits = 0; })},
        {"3 bits", with([](PcxHeader& h) { h.bits = 3; })},
        {"2 bits x 2 planes", with([](PcxHeader& h) { h.bits = 2, h.planes = 2; })},
        {"no planes", with([](PcxHeader& h) { h.planes = 0; })},
        {"1 bit x 9 planes", with([](PcxHeader& h) { h.bits = 1, h.planes = 9; })},
        {"xmax below xmin", with([](PcxHeader& h) { h.xmin = 5, h.xmax = 3; })},
        {"zero height", with([](PcxHeader& h) { h.ymin = 1, h.ymax = 0; })},
        {"xmax + 1 wraps", with([](PcxHeader& h) { h.xmax = 32767; })},
        {"wider than the limit", with([](PcxHeader& h) { h.xmin = -2, h.xmax = 16382; })},
        {"taller than the limit", with([](PcxHeader& h) { h.ymin = -20000, h.ymax = 20000; })},
    };
    TempDir temp;
    for (const Case& c : cases) {
        EXPECT_EQ(pcx_open(temp.write("r.pcx", pcx_header(c.header)).c_str()), nullptr) << c.name;
    }
    Bytes short_header = pcx_header(header(8, 1, 4, 4));
    short_header.resize(100);
    EXPECT_EQ(pcx_open(temp.write("s.pcx", short_header).c_str()), nullptr);
    EXPECT_EQ(pcx_open(temp.write("e.pcx", Bytes{}).c_str()), nullptr);
    EXPECT_EQ(pcx_open((temp.dir() + "missing.pcx").c_str()), nullptr);
    EXPECT_EQ(pcx_open(nullptr), nullptr);
    PcxImage* planes = pcx_open(temp.write("a.pcx", pcx_header(header(1, 4, 4, 4))).c_str());
    EXPECT_NE(planes, nullptr) << "1 bit x 4 planes is accepted";
    pcx_free(planes);
}

TEST(PcxImageState, DecodeAndCloseNeedAnOpenValidImage) {
    TempDir temp;
    PcxImage* image =
        pcx_open(temp.write("c.pcx", pcx_header(header(8, 1, 1, 1)) + Bytes{3}).c_str());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(pcx_close(image), 0);
    EXPECT_EQ(image->fd, -1);
    EXPECT_EQ(pcx_close(image), -1);
    EXPECT_EQ(pcx_decode(image), -1);
    pcx_free(image);
    EXPECT_EQ(pcx_close(nullptr), 0);
    EXPECT_EQ(pcx_decode(nullptr), -1);
    pcx_free(nullptr);
}

TEST(PcxLoadTexture, TakesTheImageOrFails) {
    TempDir temp;
    Texture* texture =
        pcx_load_texture(temp.write("t.pcx", pcx_8bit(2, 2, Bytes{1, 2, 3, 4})).c_str());
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->width, 2u);
    EXPECT_EQ(texture->height, 2u);
    EXPECT_EQ(Bytes(texture->pixels, texture->pixels + 4), (Bytes{1, 2, 3, 4}));
    free_texture(texture);
    EXPECT_EQ(pcx_load_texture(temp.write("u.pcx", pcx_header(header(8, 1, 2, 2))).c_str()),
              nullptr);
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
    EXPECT_EQ(load_tunnel_in(temp, output), -1);
    EXPECT_EQ(tunnel_texture, nullptr);
    EXPECT_EQ(output, "Unable to load texture 'res/tunnel.pcx'\n");

    std::filesystem::create_directory(temp.dir() + "res");
    temp.write("res/tunnel.pcx", pcx_header(header(8, 3, 2, 2)));  // refused layout
    EXPECT_EQ(load_tunnel_in(temp, output), -1);
    EXPECT_EQ(tunnel_texture, nullptr);

    temp.write("res/tunnel.pcx", pcx_8bit(3, 1, Bytes{9, 8, 7}));
    ASSERT_EQ(load_tunnel_in(temp, output), 0);
    EXPECT_EQ(output, "");
    ASSERT_NE(tunnel_texture, nullptr);
    EXPECT_EQ(tunnel_texture->width, 3u);
    EXPECT_EQ(tunnel_texture->pixels[2], 7);
    free_texture(tunnel_texture);
    tunnel_texture = nullptr;
}

}  // namespace
