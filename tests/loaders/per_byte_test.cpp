// The PCX decoder against the byte-at-a-time decoder it replaced; read_line's edge cases.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <random>

#include "loaders/obj.h"
#include "loaders/pcx.h"
#include "loaders/test_files.h"

namespace {

// Size 0 stores and consumes nothing; a failed read is an error, not the end, and stays one.
TEST(ReadLine, SizeZeroAndAFailedRead) {
    TempDir temp;
    InputFile* in = input_open(temp.write("z.txt", std::string("abc")).c_str());
    char buffer[8] = {'x'};
    EXPECT_EQ(read_line(in, buffer, 0), 0);
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_EQ(read_line(in, buffer, sizeof(buffer)), 3);
    input_close(in);
    in = input_adopt(open(temp.dir.c_str(), O_RDONLY));  // reading a directory fails
    for (int i = 0; i < 2; ++i) EXPECT_EQ(read_line(in, buffer, sizeof(buffer)), -1);
    EXPECT_EQ(in->error, EISDIR);
    input_close(in);
}

// One run-length stream over all lines and planes, put with pcx_put_byte; -1 if the data ends.
int model_decode(PcxImage* image, const Bytes& data) {
    size_t at = PCX_HEADER_SIZE;
    auto next = [&]() -> int { return at < data.size() ? data[at++] : -1; };
    int run = 0, value = 0;
    for (int32_t row = 0; row < image->height; ++row) {
        for (int32_t plane = 0; plane < image->planes; ++plane) {
            for (int32_t k = 0; k < image->line_bytes; ++k, --run) {
                while (run == 0) {
                    value = next();
                    run = value >= 0xC0 ? value & 0x3F : 1;
                    if (value >= 0xC0) value = next();
                    if (value < 0) return -1;
                }
                pcx_put_byte(image, static_cast<uint8_t>(value), row, k, plane);
            }
        }
    }
    return 0;
}

// Every layout and line padding, runs across lines and planes, palette or none, any cut.
TEST(PerByteModel, PcxImagesOfEveryLayout) {
    const int layouts[][2] = {{8, 1}, {4, 1}, {2, 1}, {1, 1}, {1, 2}, {1, 4}, {1, 8}};
    std::mt19937 random(13);
    TempDir temp;
    for (int round = 0; round < 400; ++round) {
        const auto [bits, planes] = layouts[round % std::size(layouts)];
        const int width = std::uniform_int_distribution<int>(1, round % 10 ? 70 : 9000)(random);
        const int height = std::uniform_int_distribution<int>(1, 5)(random);
        const int needed = (width * bits + 7) / 8;
        const int stated[] = {0, needed - 1, needed, needed + 1, needed + 5};
        const int line_bytes = std::max(stated[random() % std::size(stated)], 0);
        Bytes file = pcx_file({bits, planes, 0, 0, width - 1, height - 1, line_bytes});
        while (file.size() < PCX_HEADER_SIZE + size_t(needed + 6) * size_t(height * planes)) {
            const bool run = random() % 4 == 0;
            if (run) file.push_back(static_cast<uint8_t>(0xC0 | random() % 64));
            file.push_back(static_cast<uint8_t>(random() % (run ? 256 : 0xC0)));
        }
        if (random() % 2 == 0) file.push_back(12), file.resize(file.size() + 768, 0x5A);
        if (random() % 3 == 0)
            file.resize(PCX_HEADER_SIZE + random() % (file.size() - PCX_HEADER_SIZE + 1));
        const std::string path = temp.write("t.pcx", file);
        PcxImage *image = pcx_open(path.c_str()), *model = pcx_open(path.c_str());
        ASSERT_TRUE(image != nullptr && model != nullptr) << "round " << round;
        EXPECT_EQ(pcx_decode(image), model_decode(model, file)) << "round " << round;
        EXPECT_TRUE(std::equal(image->pixels, image->pixels + width * height, model->pixels))
            << "round " << round << ": " << width << " x " << height << ", " << bits << " bits x "
            << planes << " planes, " << image->line_bytes << " bytes a line";
        pcx_free(image);
        pcx_free(model);
    }
}

}  // namespace
