#include "loaders/obj.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>

#include "loaders/pcx.h"
#include "loaders/test_files.h"

namespace {

// Size 0 stores and consumes nothing; a failed read is an error, not the end, and stays one.
// (Other sizes: per_byte_test.cpp.)
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

// Integer parts are kept modulo 65536; a second point voids the fraction; '+' is no sign.
TEST(ParseFixed, DecimalTextToSixteenSixteen) {
    // clang-format off
    const std::pair<const char*, uint32_t> cases[] = {
        {"1.5", 0x18000}, {"-0.25", 0xFFFFC000}, {"0.1", 6553}, {"0.99999", 0xFFFF}, {".5", 0x8000},
        {"3", 0x30000}, {"12/4", 0xC0000}, {"40000", 0x9C400000}, {"-32768", 0x80000000},
        {"1234567.5", 0xD6878000}, {"1.5.", 0x10000}, {"+2", 0}, {"", 0}};
    // clang-format on
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(parse_fixed(text), static_cast<Fixed>(expected)) << text;
    }
    EXPECT_EQ(parse_fixed(nullptr), 0);
}

// A model directory with a 256 x 256 texture "t.pcx" named by "m.mtl".
struct ObjFixture : testing::Test {
    TempDir temp;
    std::string output;
    Model* model = nullptr;

    void SetUp() override {
        temp.write("t.pcx", pcx_8bit(256, 256, Bytes(256 * 256, 0)));
        temp.write("m.mtl", std::string("# comment\n\nnewmtl skin\n  map_Kd t.pcx extra\n"));
    }
    void TearDown() override { free_model(model); }
    // Loads `text` as "model.obj" into `model`, keeping what it printed in `output`.
    bool load(const std::string& text, int32_t scale = 1) {
        free_model(model);
        testing::internal::CaptureStdout();
        model = load_obj(temp.write("model.obj", text).c_str(), scale);
        output = testing::internal::GetCapturedStdout();
        return model != nullptr;
    }
    Vertex* vertex(uint64_t i) const { return static_cast<Vertex*>(model->vertex_list->items[i]); }
    TexCoord* texcoord(uint64_t i) const {
        return static_cast<TexCoord*>(model->texcoord_list->items[i]);
    }
};

TEST_F(ObjFixture, VerticesAndTextureCoordinates) {
    // Tabs separate fields; the end of a long line is not read as a statement of its own.
    ASSERT_TRUE(load("v 1.5 2 -0.25\nv\t1\t2 \t3\nv 1\n#" + std::string(79, '-') +
                         "v 9 9 9\nvt 0.5 0.5\nf 1/1 1/1 1/1\nmtllib m.mtl\n"
                         "vt 0.5 0.25\nvt 0 0\nvt 1 1\nvt -0.5 0\n",
                     64));
    EXPECT_EQ(output, temp.dir + "model.obj\nLoading mtllib '" + temp.dir +
                          "m.mtl'\nLoading texure '" + temp.dir + "t.pcx'\n");
    ASSERT_EQ(model->vertex_list->count, 3u);
    EXPECT_EQ(vertex(0)->model_x, 0x600000);
    EXPECT_EQ(vertex(0)->model_y, -0x800000);  // y is negated
    EXPECT_EQ(vertex(0)->model_z, -0x100000);
    EXPECT_EQ(vertex(0)->colour, 15);
    EXPECT_EQ(vertex(1)->model_z, 0xC00000);
    EXPECT_EQ(vertex(2)->model_y, 0);  // missing fields count as 0
    ASSERT_NE(model->material, nullptr);
    EXPECT_EQ(model->mesh.triangles[0]->texture, nullptr);  // made before any material
    ASSERT_EQ(model->texcoord_list->count, 4u);             // the vt before mtllib is dropped
    const int32_t texels[4][2] = {{128, 192}, {0, 256}, {256, 0}, {65408, 256}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(texcoord(i)->u, texels[i][0]) << i;
        EXPECT_EQ(texcoord(i)->v, texels[i][1]) << i;
    }
}

TEST_F(ObjFixture, Faces) {
    const struct {
        const char* face;
        int corners[3];    // vertex numbers from 0; -1: the face is dropped
        int texcoords[3];  // -1: a flat triangle
    } cases[] = {
        {"f 1/1 2/2 3/3 4/4", {0, 1, 2}, {0, 1, 2}},  // the first three corners
        {"f 4/4/1 3/3/2 2/2/3", {3, 2, 1}, {3, 2, 1}},
        {"f 1 2 3", {0, 1, 2}, {-1}},
        {"f 2//5 3//6 4//7", {1, 2, 3}, {-1}},
        {"f 1/1 2/5 3/2", {0, 1, 2}, {-1}},
        {"f 1/1 2/0 3/1", {0, 1, 2}, {-1}},
        {"f 1/-1 2/1 3/1", {0, 1, 2}, {-1}},
        {"f 1 2", {-1}, {-1}},
        {"f", {-1}, {-1}},
        {"f 0 1 2", {-1}, {-1}},
        {"f -1 -2 -3", {-1}, {-1}},
        {"f 1 2 5\nv 2 2 2", {-1}, {-1}},  // vertex 5 is defined only after the face
    };
    const std::string prelude =
        "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nmtllib m.mtl\nvt 0 0\nvt 1 0\nvt 0 1\nvt 1 1\n";
    for (const auto& c : cases) {
        ASSERT_TRUE(load(prelude + c.face + "\n")) << c.face;
        ASSERT_EQ(model->mesh.triangles, reinterpret_cast<Triangle**>(model->triangle_list->items));
        if (c.corners[0] < 0) {
            EXPECT_EQ(model->mesh.count, 0) << c.face;
            EXPECT_NE(output.find("Dropped 1 face without three"), std::string::npos) << c.face;
            continue;
        }
        ASSERT_EQ(model->mesh.count, 1) << c.face;
        const Triangle* t = model->mesh.triangles[0];
        const bool textured = c.texcoords[0] >= 0;
        EXPECT_EQ(t->texture, textured ? model->material : nullptr) << c.face;
        EXPECT_EQ(t->flat_colour, 15);
        EXPECT_EQ(t->pixel_count, PIXEL_COUNT_UNDRAWN);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(t->vertices[i], vertex(c.corners[i])) << c.face;
            EXPECT_EQ(t->texcoords[i], textured ? texcoord(c.texcoords[i]) : nullptr) << c.face;
        }
    }
}

TEST_F(ObjFixture, LaterMaterialsApplyToLaterStatements) {
    temp.write("u.pcx", pcx_8bit(4, 2, Bytes(8, 1)));
    temp.write("n.mtl", std::string("map_Kd u.pcx\nmap_Kd t.pcx\n"));  // the first one counts
    ASSERT_TRUE(
        load("v 0 0 0\nmtllib m.mtl\nvt 1 1\nf 1/1 1/1 1/1\nmtllib n.mtl\nvt 1 0\n"
             "f 1/2 1/2 1/2\n"));
    EXPECT_EQ(model->material->width, 4u);
    EXPECT_EQ(model->mesh.triangles[0]->texture->width, 256u);  // the superseded one stays
    EXPECT_EQ(model->mesh.triangles[1]->texture, model->material);
    EXPECT_EQ(texcoord(1)->u, 4);
    EXPECT_EQ(texcoord(1)->v, 2);
}

// Why a required model is refused: the file at fault is named, innermost first, with the
// reason, and load_obj says what failed on standard output.
TEST(Refusals, TheFileAtFaultAndTheReason) {
    Bytes cut = pcx_8bit(2, 2, {1, 2, 3, 4});
    cut.resize(128 + 5);
    const std::string obj = "v 0 0 0\nv 1 0 0\nv 0 1 0\nmtllib m.mtl\nvt 0 0\nf 1/1 2/1 3/1\n";
    const std::string missing = "cannot open: No such file or directory";
    const struct {
        const char* file;  // the file replaced, and the one the reason names; null: none
        // Its contents; "-": no file, "/": a directory, "|": a pipe nobody writes to,
        // "@": a link to /dev/null.
        std::string text;
        std::string reason;  // "" when the model loads
        char printed;        // the last line printed: 'F' "Failed", 'M' "Unable to load mtllib"
    } cases[] = {
        {nullptr, "", "", '-'},
        {"m.obj", "-", missing, 'F'},
        {"m.obj", "/", "is a directory", 'F'},
        {"m.obj", "@", "not a regular file", 'F'},
        {"m.obj", "|", "not a regular file", 'F'},
        {"m.obj", "", "empty", '-'},
        {"m.obj", "v 1 2 3\nv 1 2 3\n", "no usable face (2 vertices, no face)", '-'},
        {"m.obj", "v 0 0 0\nf 1 1 1\n# c\nf 1 2 3\nf 0 0 0\n",
         "unusable face on line 4 (it needs three defined vertices)", '-'},
        {"m.obj", "v 0 0 0\nmtllib\n", "line 2: mtllib names no file", 'M'},
        {"m.mtl", "-", missing, 'M'},
        {"m.mtl", "/", "is a directory", 'M'},
        {"m.mtl", "", "empty", 'M'},
        {"m.mtl", "newmtl a\nKd 1 1 1\n", "names no texture", 'M'},
        {"m.mtl", "map_Kd\n", "names no texture", 'M'},
        {"t.pcx", "-", missing, 'M'},
        {"t.pcx", "@", "not a regular file", 'M'},
        {"t.pcx", std::string(cut.begin(), cut.end()), "cut short (2 of 4 bytes of image data)",
         'M'},
        {"t.pcx", "GIF89a" + std::string(200, 'x'), "not a PCX image (bad header)", 'M'},
    };
    TempDir temp;
    for (const auto& c : cases) {
        temp.write("m.obj", obj);
        temp.write("m.mtl", std::string("newmtl a\nmap_Kd t.pcx\n"));
        temp.write("t.pcx", pcx_8bit(2, 2, {1, 2, 3, 4}));
        if (c.file != nullptr) {
            const std::string path = temp.dir + c.file;
            std::filesystem::remove(path);
            if (c.text == "/") {
                std::filesystem::create_directory(path);
            } else if (c.text == "|") {
                ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
            } else if (c.text == "@") {
                std::filesystem::create_symlink("/dev/null", path);
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
        std::filesystem::remove_all(temp.dir + (c.file != nullptr ? c.file : "none"));
    }
}

}  // namespace
