#include "loaders/obj.h"

#include <gtest/gtest.h>

#include <string>

#include "loaders/pcx.h"
#include "loaders/test_files.h"

namespace {

// Size 0 stores nothing and consumes nothing (other sizes: per_byte_test.cpp).
TEST(ReadLine, SizeZeroLeavesTheLineForTheNextRead) {
    TempDir temp;
    InputFile* in = input_open(temp.write("z.txt", std::string("abc")).c_str());
    char buffer[8] = {'x'};
    EXPECT_EQ(read_line(in, buffer, 0), 0);
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_EQ(read_line(in, buffer, sizeof(buffer)), 3);
    input_close(in);
}

// Integer parts are kept modulo 65536; a second point voids the fraction; '+' is no sign.
TEST(ParseFixed, DecimalTextToSixteenSixteen) {
    const std::pair<const char*, Fixed> cases[] = {
        {"1.5", 0x18000},
        {"-0.25", -0x4000},
        {"0.1", 6553},
        {"0.99999", 0xFFFF},
        {".5", 0x8000},
        {"3", 0x30000},
        {"12/4", 0xC0000},
        {"40000", static_cast<Fixed>(0x9C400000u)},
        {"-32768", static_cast<Fixed>(0x80000000u)},
        {"1.5.", 0x10000},
        {"+2", 0},
        {"", 0},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(parse_fixed(text), expected) << text;
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
        std::string path = temp.write("model.obj", text);
        testing::internal::CaptureStdout();
        model = load_obj(path.c_str(), scale);
        output = testing::internal::GetCapturedStdout();
        return model != nullptr;
    }
    Vertex* vertex(uint64_t i) const { return static_cast<Vertex*>(model->vertex_list->items[i]); }
    TexCoord* texcoord(uint64_t i) const {
        return static_cast<TexCoord*>(model->texcoord_list->items[i]);
    }
    Triangle* triangle(int32_t i) const { return model->mesh.triangles[i]; }
};

TEST_F(ObjFixture, VerticesAndTextureCoordinates) {
    // Tabs separate fields; the end of a long line is not read as a statement of its own.
    ASSERT_TRUE(load("v 1.5 2 -0.25\nv\t1\t2 \t3\nv 1\n#" + std::string(79, '-') +
                         "v 9 9 9\nvt 0.5 0.5\nf 1/1 1/1 1/1\nmtllib m.mtl\n"
                         "vt 0.5 0.25\nvt 0 0\nvt 1 1\nvt -0.5 0\n",
                     64));
    EXPECT_EQ(output, temp.dir() + "model.obj\nLoading mtllib '" + temp.dir() +
                          "m.mtl'\nLoading texure '" + temp.dir() + "t.pcx'\n");
    ASSERT_EQ(model->vertex_list->count, 3u);
    EXPECT_EQ(vertex(0)->model_x, 0x600000);
    EXPECT_EQ(vertex(0)->model_y, -0x800000);  // y is negated
    EXPECT_EQ(vertex(0)->model_z, -0x100000);
    EXPECT_EQ(vertex(0)->colour, 15);
    EXPECT_EQ(vertex(0)->stamp, 0u);
    EXPECT_EQ(vertex(1)->model_z, 0xC00000);
    EXPECT_EQ(vertex(2)->model_y, 0);  // missing fields count as 0
    ASSERT_NE(model->material, nullptr);
    EXPECT_EQ(model->material->width, 256u);
    EXPECT_EQ(triangle(0)->texture, nullptr);    // made before any material
    ASSERT_EQ(model->texcoord_list->count, 4u);  // the vt before mtllib is dropped
    const int32_t texels[4][2] = {{128, 192}, {0, 256}, {256, 0}, {65408, 256}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(texcoord(i)->u, texels[i][0]) << i;
        EXPECT_EQ(texcoord(i)->v, texels[i][1]) << i;
    }
}

TEST_F(ObjFixture, Faces) {
    struct Case {
        const char* face;
        int corners[3];    // vertex numbers from 0; -1: the face is dropped
        int texcoords[3];  // -1: a flat triangle
    };
    const Case cases[] = {
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
    for (const Case& c : cases) {
        ASSERT_TRUE(load(prelude + c.face + "\n")) << c.face;
        ASSERT_EQ(model->mesh.triangles, reinterpret_cast<Triangle**>(model->triangle_list->items));
        if (c.corners[0] < 0) {
            EXPECT_EQ(model->mesh.count, 0) << c.face;
            EXPECT_NE(output.find("Dropped 1 face without three"), std::string::npos) << c.face;
            continue;
        }
        ASSERT_EQ(model->mesh.count, 1) << c.face;
        const Triangle* t = triangle(0);
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
    temp.write("n.mtl", std::string("map_Kd u.pcx\nmap_Kd t.pcx\n"));
    ASSERT_TRUE(
        load("v 0 0 0\nmtllib m.mtl\nvt 1 1\nf 1/1 1/1 1/1\nmtllib n.mtl\nvt 1 0\n"
             "f 1/2 1/2 1/2\n"));
    EXPECT_EQ(model->material->width, 4u);
    EXPECT_EQ(triangle(0)->texture->width, 256u);  // the superseded texture stays alive
    EXPECT_EQ(triangle(1)->texture, model->material);
    EXPECT_EQ(texcoord(1)->u, 4);
    EXPECT_EQ(texcoord(1)->v, 2);
}

TEST_F(ObjFixture, MissingFilesAndMaterialsFail) {
    temp.write("none.mtl", std::string("newmtl plain\nKd 1 0 0\n"));
    temp.write("empty.mtl", std::string("map_Kd\n"));
    temp.write("jpeg.mtl", std::string("map_Kd photo.jpg\n"));
    Bytes truncated = pcx_8bit(2, 2, Bytes(4, 0));
    truncated.resize(129);
    temp.write("bad.pcx", truncated);
    temp.write("short.mtl", std::string("map_Kd bad.pcx\n"));
    for (const char* statement : {"mtllib missing.mtl", "mtllib", "mtllib none.mtl",
                                  "mtllib empty.mtl", "mtllib jpeg.mtl", "mtllib short.mtl"}) {
        EXPECT_FALSE(load(std::string("v 1 2 3\n") + statement + "\nf 1 1 1\n")) << statement;
        ASSERT_GE(output.size(), 22u);
        EXPECT_EQ(output.substr(output.size() - 22), "Unable to load mtllib\n") << statement;
    }
    testing::internal::CaptureStdout();
    EXPECT_EQ(load_obj("no/such/model.obj", 1), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "no/such/model.obj\nFailed\n");
}

}  // namespace
