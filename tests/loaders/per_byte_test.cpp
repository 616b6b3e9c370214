// The buffered readers against a model of the byte-at-a-time readers they replaced, on many
// generated inputs: every line and every pixel must come out the same, whatever the line
// lengths, the block boundaries, the way the bytes arrive or where the file is cut.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "loaders/input.h"
#include "loaders/obj.h"
#include "loaders/pcx.h"
#include "loaders/test_files.h"

namespace {

// One line as the byte-at-a-time reader took it from `data` at `at`: CRs dropped, LF ends the
// line, at most size - 1 characters kept and the rest of the line skipped.
int32_t model_read_line(const std::string& data, size_t& at, std::string& line, size_t size) {
    line.clear();
    while (at < data.size()) {
        const char c = data[at++];
        if (c == '\r') continue;
        if (c == '\n') return static_cast<int32_t>(line.size());
        if (line.size() < size - 1) line += c;
    }
    // The end of the data with nothing stored (bytes skipped or CRs alone do not count).
    return line.empty() ? -1 : static_cast<int32_t>(line.size());
}

// Every result of read_line over `in`, as "count:text" entries.
std::vector<std::string> buffered_lines(InputFile* in, size_t size) {
    std::vector<std::string> lines;
    std::vector<char> buffer(size);
    for (;;) {
        const int32_t got = read_line(in, buffer.data(), size);
        if (got < 0) break;
        lines.push_back(std::to_string(got) + ":" + std::string(buffer.data(), size_t(got)));
        if (buffer[size_t(got)] != '\0') lines.back() += "<unterminated>";
    }
    return lines;
}

std::vector<std::string> model_lines(const std::string& data, size_t size) {
    std::vector<std::string> lines;
    size_t at = 0;
    std::string line;
    for (;;) {
        const int32_t got = model_read_line(data, at, line, size);
        if (got < 0) break;
        lines.push_back(std::to_string(got) + ":" + line);
    }
    return lines;
}

// Line lengths around the 80 characters a model line keeps and around the read block.
constexpr size_t BLOCK = INPUT_BLOCK_SIZE;
constexpr size_t LINE_LENGTHS[] = {0,   1,         79,    80,        81,
                                   200, BLOCK - 1, BLOCK, BLOCK + 1, 3 * BLOCK + 7};

// Text of lines of mixed lengths (some across several blocks) holding letters, spaces, CRs
// and NULs, ended by LF or CR LF, the last one perhaps by nothing.
std::string random_text(std::mt19937& random) {
    static const char alphabet[] = {'a', 'b', ' ', '\r', '\0', '#'};
    std::string text;
    const int lines = std::uniform_int_distribution<int>(0, 12)(random);
    for (int i = 0; i < lines; ++i) {
        const size_t length = LINE_LENGTHS[random() % std::size(LINE_LENGTHS)];
        for (size_t j = 0; j < length; ++j) text += alphabet[random() % std::size(alphabet)];
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
    const size_t fixed = texts.size();
    std::mt19937 random(11);
    while (texts.size() < fixed + 120) texts.push_back(random_text(random));
    TempDir temp;
    for (size_t round = 0; round < texts.size(); ++round) {
        const std::string& text = texts[round];
        const std::string path = temp.write("t.txt", text);
        for (size_t size : {size_t{1}, size_t{2}, size_t{5}, size_t{OBJ_LINE_SIZE},
                            INPUT_BLOCK_SIZE, INPUT_BLOCK_SIZE + 2}) {
            InputFile* in = input_open(path.c_str());
            ASSERT_NE(in, nullptr);
            EXPECT_EQ(buffered_lines(in, size), model_lines(text, size))
                << "round " << round << ", buffer of " << size;
            EXPECT_EQ(in->error, 0);
            input_close(in);
        }
    }
}

// Bytes that come through a pipe in pieces of any size read as they do from a file.
TEST(PerByteModel, ReadLineFromAPipeInPieces) {
    std::mt19937 random(12);
    for (int round = 0; round < 30; ++round) {
        const std::string text = random_text(random);
        int ends[2];
        ASSERT_EQ(pipe(ends), 0);
        const unsigned seed = static_cast<unsigned>(random());
        std::thread writer([&text, seed, out = ends[1]] {
            std::mt19937 pieces(seed);
            for (size_t at = 0; at < text.size();) {
                const size_t piece = std::min<size_t>(text.size() - at, 1 + pieces() % 5000);
                const ssize_t put = write(out, text.data() + at, piece);
                if (put <= 0) break;
                at += size_t(put);
            }
            close(out);
        });
        InputFile* in = input_adopt(ends[0]);
        ASSERT_NE(in, nullptr);
        EXPECT_EQ(buffered_lines(in, OBJ_LINE_SIZE), model_lines(text, OBJ_LINE_SIZE))
            << "round " << round;
        EXPECT_EQ(in->error, 0);
        input_close(in);
        writer.join();
    }
}

// The image as the byte-at-a-time decoder made it: one run-length stream over all lines and
// planes, each decoded byte put with pcx_put_byte, -1 when the data ends first.
int model_decode(PcxImage* image, const Bytes& data) {
    size_t at = PCX_HEADER_SIZE;
    auto next = [&]() -> int { return at < data.size() ? data[at++] : -1; };
    int32_t run = 0;
    uint8_t value = 0;
    for (int32_t row = 0; row < image->height; ++row) {
        for (int32_t plane = 0; plane < image->planes; ++plane) {
            for (int32_t k = 0; k < image->line_bytes; ++k) {
                while (run == 0) {
                    int byte = next();
                    if (byte < 0) return -1;
                    if (byte >= 0xC0) {
                        run = byte & 0x3F;
                        byte = next();
                        if (byte < 0) return -1;
                    } else {
                        run = 1;
                    }
                    value = static_cast<uint8_t>(byte);
                }
                pcx_put_byte(image, value, row, k, plane);
                --run;
            }
        }
    }
    return 0;
}

TEST(PerByteModel, PcxImagesOfEveryLayout) {
    struct Layout {
        int bits, planes;
    };
    const Layout layouts[] = {{8, 1}, {4, 1}, {2, 1}, {1, 1}, {1, 2}, {1, 4}, {1, 8}};
    std::mt19937 random(13);
    TempDir temp;
    for (int round = 0; round < 400; ++round) {
        const Layout layout = layouts[round % std::size(layouts)];
        // Some images span several read blocks.
        const int widest = round % 10 == 0 ? 9000 : 70;
        const int width = std::uniform_int_distribution<int>(1, widest)(random);
        const int height = std::uniform_int_distribution<int>(1, 5)(random);
        const int per_byte = 8 / layout.bits;
        const int needed = (width + per_byte - 1) / per_byte;
        // The header's bytes per line: absent, too small, exact or with padding.
        const int stated[] = {0, needed - 1, needed, needed + 1, needed + 5};
        const int line_bytes = stated[random() % std::size(stated)];
        Bytes file = pcx_header(
            pcx_layout(layout.bits, layout.planes, width, height, std::max(line_bytes, 0)));
        // Runs (long ones cross lines and planes), runs of 0, and literals.
        const size_t body = size_t(needed + 6) * size_t(height * layout.planes);
        while (file.size() < PCX_HEADER_SIZE + body) {
            const unsigned kind = random() % 4;
            if (kind == 0) {
                file.push_back(static_cast<uint8_t>(0xC0 | random() % 64));
                file.push_back(static_cast<uint8_t>(random()));
            } else {
                file.push_back(static_cast<uint8_t>(random() % 0xC0));
            }
        }
        if (random() % 2 == 0) {
            file.push_back(12);
            for (int i = 0; i < 768; ++i) file.push_back(static_cast<uint8_t>(i * 7));
        }
        // Cut anywhere from inside the header's end to the full length.
        if (random() % 3 == 0) {
            file.resize(PCX_HEADER_SIZE + random() % (file.size() - PCX_HEADER_SIZE + 1));
        }
        const std::string path = temp.write("t.pcx", file);
        PcxImage* image = pcx_open(path.c_str());
        PcxImage* model = pcx_open(path.c_str());
        ASSERT_NE(image, nullptr) << "round " << round;
        ASSERT_NE(model, nullptr);
        const size_t pixels = size_t(width) * size_t(height);
        EXPECT_EQ(pcx_decode(image), model_decode(model, file)) << "round " << round;
        EXPECT_EQ(0, std::memcmp(image->pixels, model->pixels, pixels))
            << "round " << round << ": " << width << " x " << height << ", " << layout.bits
            << " bits x " << layout.planes << " planes, " << image->line_bytes << " bytes a line";
        pcx_free(image);
        pcx_free(model);
    }
}

}  // namespace
