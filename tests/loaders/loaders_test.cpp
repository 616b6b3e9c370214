// The loaders on odd and hostile files, the PCX decoder against a byte-at-a-time model, and
// every file of res/, the corpus and cut res/ files against recorded summaries.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "loaders/obj.h"
#include "loaders/pcx.h"
#include "util/recorded.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

struct TempDir {
    char pattern[25] = "/tmp/loaders-test-XXXXXX";
    const std::string dir = std::string(mkdtemp(pattern)) + "/";
    ~TempDir() { fs::remove_all(dir); }
    template <typename Contents>
    std::string write(const std::string& name, const Contents& contents) const {
        std::ofstream(dir + name, std::ios::binary)
            .write(reinterpret_cast<const char*>(contents.data()),
                   std::streamsize(contents.size()));
        return dir + name;
    }
};

struct PcxHeader {
    int bits = 8, planes = 1;
    int xmin = 0, ymin = 0, xmax = 0, ymax = 0;
    int line_bytes = 0;  // the header's bytes per line and plane
    int manufacturer = 10, encoding = 1;
};

// The 128-byte header (its 16-colour map holds 0, 1, 2, ...), then `data`.
inline Bytes pcx_file(const PcxHeader& h, const Bytes& data = {}) {
    Bytes bytes(128, 0);
    const int at[] = {0, 2, 4, 6, 8, 10, 65, 67};
    const int v[] = {
        h.manufacturer | 5 << 8,      h.encoding | h.bits << 8, h.xmin, h.ymin, h.xmax, h.ymax,
        h.planes | h.line_bytes << 8, h.line_bytes >> 8};
    for (int i = 0; i < 8; ++i) bytes[at[i]] = uint8_t(v[i]), bytes[at[i] + 1] = uint8_t(v[i] >> 8);
    for (int i = 0; i < 48; ++i) bytes[16 + i] = static_cast<uint8_t>(i);
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
}

// An 8-bit single-plane PCX of the given indices, each pixel written as a run of one.
inline Bytes pcx_8bit(int width, int height, const Bytes& pixels) {
    Bytes data;
    for (uint8_t pixel : pixels) data.push_back(0xC1), data.push_back(pixel);
    return pcx_file({.xmax = width - 1, .ymax = height - 1, .line_bytes = width}, data);
}

// Size and bytes per line, or why refused; an accepted image closes once, then nothing more.
TEST(PcxOpen, HeadersAcceptedOrRefusedWithTheReason) {
    const std::string depth = "bit depth or plane count not supported (", bad = "not a PCX image (";
    const struct {
        PcxHeader header;
        std::string outcome;
        size_t size = 128;  // the file cut to this size
    } cases[] = {
        {{.xmin = -5, .ymin = -2, .xmax = 4, .ymax = 2}, "10 x 5, 10"},
        {{.xmax = 16383}, "16384 x 1, 16384"},
        {{.bits = 1, .planes = 8, .xmax = 9}, "10 x 1, 2"},
        {{.bits = 4, .xmax = 4, .line_bytes = 2}, "5 x 1, 3"},
        {{.bits = 2, .xmax = 4, .line_bytes = 9}, "5 x 1, 9"},
        {{.manufacturer = 0}, bad + "bad header)"},
        {{.encoding = 0}, bad + "bad header)"},
        {{.bits = 3}, depth + "3 bits x 1 planes)"},
        {{.bits = 2, .planes = 2}, depth + "2 bits x 2 planes)"},
        {{.bits = 1, .planes = 9}, depth + "1 bits x 9 planes)"},
        {{.xmin = 5, .xmax = 4}, bad + "bad size 0 x 1)"},
        {{.ymin = 1, .ymax = 0}, bad + "bad size 1 x 0)"},
        {{.xmax = 32767}, bad + "bad size -32768 x 1)"},  // xmax + 1 wraps
        {{.xmin = -2, .xmax = 16382}, "image too large (16385 x 1, at most 16384 x 16384)"},
        {{.ymin = -20000, .ymax = 20000}, "image too large (1 x 40001, at most 16384 x 16384)"},
        {{}, "cut short (128 bytes of header expected, 100 found)", 100},
        {{}, "empty", 0},
    };
    TempDir temp;
    for (const auto& c : cases) {
        Bytes file = pcx_file(c.header);
        file.resize(c.size);
        PcxImage* image = pcx_open(temp.write("h.pcx", file).c_str());
        if (image == nullptr) {
            EXPECT_EQ(load_failure(), temp.dir + "h.pcx: " + c.outcome);
            continue;
        }
        EXPECT_EQ(std::to_string(image->width) + " x " + std::to_string(image->height) + ", " +
                      std::to_string(image->line_bytes),
                  c.outcome);
        EXPECT_EQ(pcx_close(image), 0);
        EXPECT_EQ(pcx_close(image), -1);
        EXPECT_EQ(pcx_decode(image), -1);
        pcx_free(image);
    }
    EXPECT_EQ(pcx_open(nullptr), nullptr);
    EXPECT_EQ(pcx_close(nullptr), 0);
    EXPECT_EQ(pcx_decode(nullptr), -1);
}

// Integer parts are kept modulo 65536; a second point voids the fraction; '+' is no sign.
TEST(ParseFixed, DecimalTextToSixteenSixteen) {
    // clang-format off
    const std::pair<const char*, uint32_t> cases[] = {
        {"1.5", 0x18000}, {"-0.25", 0xFFFFC000}, {"0.1", 6553}, {"0.99999", 0xFFFF}, {".5", 0x8000},
        {"12/4", 0xC0000}, {"40000", 0x9C400000}, {"-32768", 0x80000000}, {"1234567.5", 0xD6878000},
        {"1.5.", 0x10000}, {"+2", 0}, {"", 0}, {nullptr, 0}};
    // clang-format on
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(parse_fixed(text), Fixed(expected)) << text;
}

// Loads `text` as m.obj beside m.mtl, which names the 4 x 2 texture t.pcx.
struct ObjFixture : testing::Test {
    TempDir temp;
    Model* model = nullptr;
    void SetUp() override {
        temp.write("t.pcx", pcx_8bit(4, 2, Bytes(8, 0)));
        temp.write("m.mtl", std::string("# comment\n\nnewmtl skin\n  map_Kd t.pcx extra\n"));
    }
    void TearDown() override { free_model(model); }
    void load(const std::string& text) {
        free_model(model);
        testing::internal::CaptureStdout();
        model = load_obj(temp.write("m.obj", text).c_str(), 1);
        output = testing::internal::GetCapturedStdout();
        ASSERT_NE(model, nullptr) << text;
    }
    std::string output;
};

// First three corners and texcoords; flat if any texcoord is undefined; dropped if a vertex is.
TEST_F(ObjFixture, Faces) {
    const struct {
        const char* face;
        int corners[3];    // vertex numbers from 0; -1: the face is dropped
        int texcoords[3];  // -1: a flat triangle
    } cases[] = {
        {"f 1/1 2/2 3/3 4/4", {0, 1, 2}, {0, 1, 2}},
        {"f 4/4/1 3/3/2 2/2/3", {3, 2, 1}, {3, 2, 1}},
        {"f 1 2 3", {0, 1, 2}, {-1, -1, -1}},
        {"f 1/1 2/5 3/2", {0, 1, 2}, {-1, -1, -1}},
        {"f 1 2", {-1}, {}},
        {"f 0 1 2", {-1}, {}},
        {"f 1 2 5\nv 2 2 2", {-1}, {}},
    };
    for (const auto& c : cases) {
        load(std::string("v 0 0 0\nv\t1 0 0\nv 0 1 0\nv 1 1 0\nvt 1 1\nmtllib m.mtl\nvt 0 0\n") +
             "vt 1 0\nvt 0.5 1\nvt -0.5 0.5\n" + c.face + "\n");
        ASSERT_EQ(model->mesh.count, c.corners[0] < 0 ? 0 : 1) << c.face;
        if (c.corners[0] < 0) {
            EXPECT_TRUE(output.ends_with("Dropped 1 face without three defined vertices\n"));
            continue;
        }
        const Triangle* t = model->mesh.triangles[0];
        EXPECT_EQ(t->texture, c.texcoords[0] < 0 ? nullptr : model->material) << c.face;
        EXPECT_TRUE(t->flat_colour == 15 && t->pixel_count == PIXEL_COUNT_UNDRAWN);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(t->vertices[i], model->vertex_list->items[c.corners[i]]) << c.face;
            const int tc = c.texcoords[i];
            EXPECT_EQ(t->texcoords[i], tc < 0 ? nullptr : model->texcoord_list->items[tc]);
        }
    }
    EXPECT_EQ(static_cast<const Vertex*>(model->vertex_list->items[1])->model_x, FIXED_ONE);
}

// A later mtllib changes the material of later texcoords and faces only.
TEST_F(ObjFixture, LaterMaterialsApplyToLaterStatements) {
    temp.write("u.pcx", pcx_8bit(2, 2, Bytes(4, 1)));
    temp.write("n.mtl", std::string("map_Kd u.pcx\n"));
    load("v 0 0 0\nmtllib m.mtl\nvt 1 1\nf 1/1 1/1 1/1\nmtllib n.mtl\nvt 1 0\nf 1/2 1/2 1/2\n");
    EXPECT_EQ(std::pair(model->mesh.triangles[0]->texture->width, model->material->width),
              std::pair(4u, 2u));
    EXPECT_EQ(model->mesh.triangles[1]->texture, model->material);
    EXPECT_EQ(static_cast<const TexCoord*>(model->texcoord_list->items[1])->u, 2);
}

// A required model's refusal names the innermost file at fault and why; stdout says what failed.
TEST(Refusals, TheFileAtFaultAndTheReason) {
    const Bytes cut = pcx_8bit(2, 2, {1, 2, 3, 4});
    const struct {
        const char* file;  // the file replaced, and the one the reason names; null: none
        // Its contents; "-": no file, "/": a directory, "|": a pipe nobody writes to.
        std::string text;
        std::string reason;  // "" when the model loads
        char printed;        // the last line printed: 'F' "Failed", 'M' "Unable to load mtllib"
    } cases[] = {
        {nullptr, "", "", '-'},
        {"m.obj", "-", "cannot open: No such file or directory", 'F'},
        {"m.obj", "/", "is a directory", 'F'},
        {"m.obj", "|", "not a regular file", 'F'},
        {"m.obj", "", "empty", '-'},
        {"m.obj", "v 1 2 3\nv 1 2 3\n", "no usable face (2 vertices, no face)", '-'},
        {"m.obj", "v 0 0 0\nf 1 1 1\n# c\nf 1 2 3\nf 0 0 0\n",
         "unusable face on line 4 (it needs three defined vertices)", '-'},
        {"m.obj", "v 0 0 0\nmtllib\n", "line 2: mtllib names no file", 'M'},
        {"m.mtl", "-", "cannot open: No such file or directory", 'M'},
        {"m.mtl", "", "empty", 'M'},
        {"m.mtl", "newmtl a\nKd 1 1 1\n", "names no texture", 'M'},
        {"m.mtl", "map_Kd\nmap_Kd t.pcx\n", "names no texture", 'M'},
        {"t.pcx", "-", "cannot open: No such file or directory", 'M'},
        {"t.pcx", std::string(cut.begin(), cut.begin() + 128 + 5),
         "cut short (2 of 4 bytes of image data)", 'M'},
    };
    for (const auto& c : cases) {
        TempDir temp;
        temp.write("m.obj",
                   std::string("v 0 0 0\nv 1 0 0\nv 0 1 0\nmtllib m.mtl\nvt 0 0\nf 1/1 2/1 3/1\n"));
        temp.write("m.mtl", std::string("newmtl a\nmap_Kd t.pcx\n"));
        temp.write("t.pcx", pcx_8bit(2, 2, {1, 2, 3, 4}));
        if (c.file != nullptr) {
            const std::string path = temp.dir + c.file;
            fs::remove(path);
            if (c.text == "/") {
                fs::create_directory(path);
            } else if (c.text == "|") {
                ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
            } else if (c.text != "-") {
                temp.write(c.file, c.text);
            }
        }
        testing::internal::CaptureStdout();
        Model* model = load_required_model((temp.dir + "m.obj").c_str(), 1);
        const std::string output = testing::internal::GetCapturedStdout();
        const std::string reason = c.reason.empty() ? "" : temp.dir + c.file + ": " + c.reason;
        EXPECT_EQ(model == nullptr ? load_failure() : "", reason);
        const std::string last = c.printed == 'F' ? "Failed\n" : "Unable to load mtllib\n";
        EXPECT_TRUE(c.printed == '-' || output.ends_with(last)) << reason << ": " << output;
        free_model(model);
    }
}

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
            << "round " << round;
        pcx_free(image);
        pcx_free(model);
    }
}

// How many lines read_line gives with a buffer of `size`, and a hash of each and its bytes.
std::string line_summary(const fs::path& path, size_t size) {
    InputFile* in = input_open(path.c_str());
    if (in == nullptr) return "unopened";
    std::vector<char> buffer(size);
    Hash hash;
    int64_t lines = 0;
    for (int32_t got; (got = read_line(in, buffer.data(), size)) >= 0; ++lines)
        hash.number(got).bytes(buffer.data(), static_cast<size_t>(got) + 1);
    EXPECT_EQ(in->error, 0) << path;
    input_close(in);
    return std::to_string(lines) + " " + hash.number(-1).hex();
}

std::string pcx_summary(const fs::path& path) {
    PcxImage* image = pcx_open(path.c_str());
    if (image == nullptr) return "refused";
    std::ostringstream out;
    out << image->width << "x" << image->height << " " << image->bits_per_pixel << "x"
        << image->planes << " " << image->line_bytes << " decode " << pcx_decode(image) << " "
        << Hash().bytes(image->pixels, size_t(image->width) * image->height).hex() << " "
        << Hash().bytes(image->palette, sizeof(image->palette)).hex();
    pcx_free(image);
    return out.str();
}

std::string obj_summary(const fs::path& path) {
    testing::internal::CaptureStdout();
    Model* model = load_obj(path.c_str(), 64);
    const std::string output = testing::internal::GetCapturedStdout();
    const std::string printed = Hash().bytes(output.data(), output.size()).hex();
    if (model == nullptr) return "null " + printed;
    const PtrVector *vertices = model->vertex_list, *texcoords = model->texcoord_list;
    // -1 for a missing corner, the list's count for one not of the model.
    auto index_of = [](const PtrVector* list, const void* item) {
        return item ? std::find(list->items, list->items + list->count, item) - list->items : -1;
    };
    Hash shape;
    for (uint64_t i = 0; i < vertices->count; ++i) {
        const auto* v = static_cast<const Vertex*>(vertices->items[i]);
        shape.number(v->model_x).number(v->model_y).number(v->model_z);
    }
    for (uint64_t i = 0; i < texcoords->count; ++i) {
        const auto* t = static_cast<const TexCoord*>(texcoords->items[i]);
        shape.number(t->u).number(t->v);
    }
    for (int32_t i = 0; i < model->mesh.count; ++i) {
        const Triangle* t = model->mesh.triangles[i];
        for (int c = 0; c < 3; ++c)
            shape.number(index_of(vertices, t->vertices[c]))
                .number(index_of(texcoords, t->texcoords[c]));
        shape.number(index_of(model->material_list, t->texture));
    }
    for (uint64_t i = 0; i < model->material_list->count; ++i) {
        const auto* texture = static_cast<const Texture*>(model->material_list->items[i]);
        const Hash texels = Hash().bytes(texture->pixels, size_t{texture->width} * texture->height);
        shape.number(texture->width).number(texture->height).number(int64_t(texels.value));
    }
    std::ostringstream out;
    out << vertices->count << " " << texcoords->count << " " << model->mesh.count << " "
        << shape.hex() << " " << printed;
    free_model(model);
    return out.str();
}

// "name kind" -> summary for every file present, and res/ files cut in and after the header.
std::map<std::string, std::string> current_results() {
    std::map<std::string, std::string> results;
    TempDir temp;
    for (const fs::path root : {"res", "../shared/corpus"}) {
        if (!fs::is_directory(root)) continue;
        for (const auto& entry : fs::recursive_directory_iterator(root)) {
            const fs::path& file = entry.path();
            std::string ext = file.extension();
            if (!entry.is_regular_file() || ext == ".md" || ext == ".tsv") continue;
            std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
            const std::string name = file.generic_string();
            results[name + " lines81"] = line_summary(file, OBJ_LINE_SIZE);
            results[name + " lines5"] = line_summary(file, 5);
            if (ext == ".pcx") results[name + " pcx"] = pcx_summary(file);
            if (ext == ".obj") results[name + " obj"] = obj_summary(file);
            if (root != "res") continue;
            std::ifstream in(file, std::ios::binary);
            const std::string bytes((std::istreambuf_iterator<char>(in)), {});
            for (size_t cut : {size_t{1}, size_t{127}, size_t{129}, bytes.size() / 2,
                               bytes.size() * 3 / 4, bytes.size() - 1}) {
                const std::string part = file.filename().string() + ".cut" + std::to_string(cut);
                temp.write(part, bytes.substr(0, cut));
                results["cut/" + part + " lines81"] = line_summary(temp.dir + part, OBJ_LINE_SIZE);
                if (ext == ".pcx") results["cut/" + part + " pcx"] = pcx_summary(temp.dir + part);
            }
        }
    }
    return results;
}

// After a deliberate change, record again from the repository root with
// LOADER_REFERENCE_OUT=tests/loaders/load_reference.txt.
TEST(LoadReference, EveryFileReadsAsItDidBefore) {
    const std::map<std::string, std::string> results = current_results();
    if (const char* out_path = std::getenv("LOADER_REFERENCE_OUT")) {
        std::ofstream out(out_path);
        out << "# name kind summary; written by loaders_test.cpp (LoadReference)\n";
        for (const auto& [key, summary] : results) out << key << " " << summary << "\n";
        GTEST_SKIP() << "recorded " << results.size() << " results in " << out_path;
    }
    std::ifstream in("tests/loaders/load_reference.txt");
    ASSERT_TRUE(in) << "no tests/loaders/load_reference.txt";
    int compared = 0, res_files = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        const size_t name_end = line.find(' '), kind_end = line.find(' ', name_end + 1);
        const std::string key = line.substr(0, kind_end), name = line.substr(0, name_end);
        const bool in_res = name.starts_with("res/") || name.starts_with("cut/");
        res_files += in_res;
        const auto found = results.find(key);
        EXPECT_TRUE(found != results.end() || !in_res) << name << " is missing";
        if (found == results.end()) continue;
        EXPECT_EQ(found->second, line.substr(kind_end + 1))
            << key << " reads differently (if res/ or a reader was changed on purpose, record "
            << "again as the comment above LoadReference says)";
        ++compared;
    }
    EXPECT_TRUE(res_files > 0 && compared >= res_files) << compared << " of " << res_files;
    // pcx_reference.txt: "file width height hash" of the pixels decoded outside this project.
    std::ifstream pillow("tests/loaders/pcx_reference.txt");
    int decoded = 0;
    for (std::string line, name, width, height, hash; std::getline(pillow, line);) {
        std::istringstream(line) >> name >> width >> height >> hash;
        const auto found = results.find("../shared/corpus/pcx/" + name + " pcx");
        if (line[0] == '#' || found == results.end() || found->second == "refused") continue;
        hash.erase(0, hash.find_first_not_of('0'));  // as Hash::hex writes it
        EXPECT_TRUE(found->second.starts_with(width + "x" + height + " ") &&
                    found->second.find(" decode 0 " + hash + " ") != std::string::npos)
            << name << ": " << found->second;
        ++decoded;
    }
    EXPECT_TRUE(decoded == 14 || !fs::is_directory("../shared/corpus/pcx")) << decoded;
}

}  // namespace
