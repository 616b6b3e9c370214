// The buffered readers against a model of the byte-at-a-time readers they replaced, on many
// generated inputs: every line and every pixel must come out the same, whatever the line
// lengths, the block boundaries or where the file is cut.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "loaders/obj.h"
#include "loaders/pcx.h"
#include "loaders/test_files.h"

namespace {

// Every result of read_line over `in`, as "count:text" entries.
std::vector<std::string> buffered_lines(InputFile* in, size_t size) {
    std::vector<std::string> lines;
    std::vector<char> buffer(size);
    for (int32_t got; (got = read_line(in, buffer.data(), size)) >= 0;) {
        lines.push_back(std::to_string(got) + ":" + std::string(buffer.data(), size_t(got)) +
                        (buffer[size_t(got)] != '\0' ? "<unterminated>" : ""));
    }
    return lines;
}

// The lines the byte-at-a-time reader took: CRs dropped, LF ends a line, at most size - 1
// characters kept and the rest of the line skipped; the end of the data ends a last line
// only if something was stored (bytes skipped or CRs alone do not count).
std::vector<std::string> model_lines(const std::string& data, size_t size) {
    std::vector<std::string> lines;
    std::string line;
    for (size_t at = 0; at <= data.size(); ++at) {
        if (at == data.size() ? !line.empty() : data[at] == '\n') {
            lines.push_back(std::to_string(line.size()) + ":" + line);
            line.clear();
        } else if (at < data.size() && data[at] != '\r' && line.size() < size - 1) {
            line += data[at];
        }
    }
    return lines;
}

constexpr size_t BLOCK = INPUT_BLOCK_SIZE;

// Text of lines of mixed lengths (around the 80 characters a model line keeps and around the
// read block, some across several blocks) holding letters, spaces, CRs and NULs, ended by LF
// or CR LF, the last one perhaps by nothing.
std::string random_text(std::mt19937& random) {
    static const size_t lengths[] = {0,   1,         79,    80,        81,
                                     200, BLOCK - 1, BLOCK, BLOCK + 1, 3 * BLOCK + 7};
    static const char alphabet[] = {'a', 'b', ' ', '\r', '\0', '#'};
    std::string text;
    for (int i = std::uniform_int_distribution<int>(0, 12)(random); i > 0; --i) {
        for (size_t j = lengths[random() % std::size(lengths)]; j > 0; --j)
            text += alphabet[random() % 6];
        if (random() % 4 != 0) text += random() % 3 == 0 ? "\r\n" : "\n";
        if (random() % 5 == 0) text += std::string(random() % 4, '\r');
    }
    return text;
}

// CR LF, empty lines, lone CRs, an empty file, lines of exactly and over 80 characters, a line
// feed as the last or the first byte of a block, CR and LF in different blocks, CRs on both
// sides of a boundary, a line over three blocks, a long file without a last feed and NUL bytes;
// then random texts.
TEST(PerByteModel, ReadLineFromFiles) {
    const std::string x(BLOCK - 1, 'x');
    std::vector<std::string> texts = {"v 1 2 3\r\nf 1 2 3\r\n",
                                      "a\n\n\nb",
                                      "a\r\rb\r",
                                      "",
                                      std::string(80, 'e') + "\nx",
                                      std::string(100, 'c') + "\nf 1\n",
                                      x + "\nz",
                                      x + "y\nz\n",
                                      x + "\r\nz",
                                      x + "\r\r\ry\r\n",
                                      std::string(3 * BLOCK, 'w') + "\nv 1\n",
                                      x + x + "tail",
                                      std::string("a\0b\nc", 5)};
    std::mt19937 random(11);
    for (int i = 0; i < 120; ++i) texts.push_back(random_text(random));
    TempDir temp;
    for (size_t round = 0; round < texts.size(); ++round) {
        const std::string path = temp.write("t.txt", texts[round]);
        for (size_t size :
             {size_t{1}, size_t{2}, size_t{5}, size_t{OBJ_LINE_SIZE}, BLOCK, BLOCK + 2}) {
            InputFile* in = input_open(path.c_str());
            ASSERT_NE(in, nullptr);
            EXPECT_EQ(buffered_lines(in, size), model_lines(texts[round], size))
                << "round " << round << ", buffer of " << size;
            EXPECT_EQ(in->error, 0);
            input_close(in);
        }
    }
}

// The image as the byte-at-a-time decoder made it: one run-length stream over all lines and
// planes, each decoded byte put with pcx_put_byte, -1 when the data ends first.
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

TEST(PerByteModel, PcxImagesOfEveryLayout) {
    const int layouts[][2] = {{8, 1}, {4, 1}, {2, 1}, {1, 1}, {1, 2}, {1, 4}, {1, 8}};
    std::mt19937 random(13);
    TempDir temp;
    for (int round = 0; round < 400; ++round) {
        const auto [bits, planes] = layouts[round % std::size(layouts)];
        // Some images span several read blocks.
        const int width =
            std::uniform_int_distribution<int>(1, round % 10 == 0 ? 9000 : 70)(random);
        const int height = std::uniform_int_distribution<int>(1, 5)(random);
        const int needed = (width * bits + 7) / 8;
        // The header's bytes per line: absent, too small, exact or with padding.
        const int stated[] = {0, needed - 1, needed, needed + 1, needed + 5};
        const int line_bytes = std::max(stated[random() % std::size(stated)], 0);
        Bytes file = pcx_file(pcx_layout(bits, planes, width, height, line_bytes));
        // Runs (long ones cross lines and planes), runs of 0, and literals.
        const size_t body = size_t(needed + 6) * size_t(height * planes);
        while (file.size() < PCX_HEADER_SIZE + body) {
            const bool run = random() % 4 == 0;
            if (run) file.push_back(static_cast<uint8_t>(0xC0 | random() % 64));
            file.push_back(static_cast<uint8_t>(random() % (run ? 256 : 0xC0)));
        }
        if (random() % 2 == 0) file.push_back(12), file.resize(file.size() + 768, 0x5A);
        // Cut anywhere from the header's end to the full length.
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
