#include "loaders/obj.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <string>

#include "loaders/pcx.h"
#include "loaders/test_files.h"

namespace {

// read_line over a file holding `text`: every line until the end (-1).
std::vector<std::string> read_lines(const std::string& text, size_t size) {
    TempDir temp;
    int fd = open(temp.write("lines.txt", text).c_str(), O_RDONLY);
    std::vector<std::string> lines;
    std::vector<char> buffer(size + 1, 'x');
    while (read_line(fd, buffer.data(), size) >= 0) lines.emplace_back(buffer.data());
    close(fd);
    return lines;
}

using Lines = std::vector<std::string>;

TEST(ReadLine, SplitsAtLineFeedsAndDropsCarriageReturns) {
    EXPECT_EQ(read_lines("v 1 2 3\r\nf 1 2 3\r\n", 81), (Lines{"v 1 2 3", "f 1 2 3"}));
    EXPECT_EQ(read_lines("a\n\n\nb", 81), (Lines{"a", "", "", "b"}));
    EXPECT_EQ(read_lines("a\r\rb\r", 81), (Lines{"ab"}));
    EXPECT_EQ(read_lines("", 81), Lines{});
}

TEST(ReadLine, KeepsTheStartOfALongLineAndSkipsTheRest) {
    std::string comment = "#" + std::string(79, 'c') + "v 1 2 3 and more to come";
    EXPECT_EQ(read_lines(comment + "\nf 1 2 3\n", 81), (Lines{comment.substr(0, 80), "f 1 2 3"}));
    std::string exact(80, 'e');
    EXPECT_EQ(read_lines(exact + "\nx", 81), (Lines{exact, "x"}));
    EXPECT_EQ(read_lines("abcdef", 4), (Lines{"abc"}));
}

TEST(ReadLine, SizeZeroReadsNothing) {
    TempDir temp;
    int fd = open(temp.write("z.txt", std::string("abc")).c_str(), O_RDONLY);
    char byte = 'x';
    EXPECT_EQ(read_line(fd, &byte, 0), 0);
    char buffer[8];
    EXPECT_EQ(read_line(fd, buffer, sizeof(buffer)), 3);  // nothing was consumed
    close(fd);
}

TEST(ParseFixed, DecimalTextToSixteenSixteen) {
    struct Case {
        const char* text;
        Fixed expected;
    };
    const Case cases[] = {
        {"1.5", 0x18000},
        {"-0.25", -0x4000},
        {"0.1", 6553},
        {"3", 0x30000},
        {"12/4", 0xC0000},
        {"40000", static_cast<Fixed>(0x9C400000u)},  // only the low 16 integer bits survive
        {"1.5.", 0x10000},                           // a second point voids the fraction
        {"+2", 0},
        {"abc", 0},
        {"", 0},
        {"-", 0},
        {".5", 0x8000},
        {"0.99999", 0xFFFF},
        {"7/3/2", 0x70000},
        {"-32768", static_cast<Fixed>(0x80000000u)},
    };
    for (const Case& c : cases) EXPECT_EQ(parse_fixed(c.text), c.expected) << c.text;
    EXPECT_EQ(parse_fixed(nullptr), 0);
}

TEST(PathHelpers, DirectoryFileNameAndExtension) {
    EXPECT_EQ(dir_prefix_length("res/pumpkin.obj"), 4u);
    EXPECT_EQ(dir_prefix_length("a/b/c"), 4u);
    EXPECT_EQ(dir_prefix_length("cube.obj"), 0u);
    EXPECT_EQ(dir_prefix_length(""), 0u);
    EXPECT_EQ(dir_prefix_length(nullptr), 0u);
    EXPECT_STREQ(path_file_name("res/pumpkin.obj"), "pumpkin.obj");
    EXPECT_STREQ(path_file_name("pumpkin.obj"), "pumpkin.obj");
    EXPECT_STREQ(path_file_name("res/"), "");
    EXPECT_STREQ(path_extension("res/pumpkin.obj"), ".obj");
    EXPECT_STREQ(path_extension("README"), "README");
    EXPECT_EQ(path_file_name(""), nullptr);
    EXPECT_EQ(path_extension(nullptr), nullptr);
}

// A model directory with a 256 x 256 texture "t.pcx" named by "m.mtl".
struct ObjFixture : testing::Test {
    TempDir temp;
    std::string output;

    void SetUp() override {
        temp.write("t.pcx", pcx_8bit(256, 256, Bytes(256 * 256, 0)));
        temp.write("m.mtl", std::string("newmtl skin\nKd 1 1 1\nmap_Kd t.pcx\n"));
    }
    Model* load(const std::string& text, int32_t scale = 1) {
        std::string path = temp.write("model.obj", text);
        testing::internal::CaptureStdout();
        Model* model = load_obj(path.c_str(), scale);
        output = testing::internal::GetCapturedStdout();
        return model;
    }
    void TearDown() override { free_model(model); }
    Model* model = nullptr;

    Vertex* vertex(uint64_t i) const { return static_cast<Vertex*>(model->vertex_list->items[i]); }
    TexCoord* texcoord(uint64_t i) const {
        return static_cast<TexCoord*>(model->texcoord_list->items[i]);
    }
    Triangle* triangle(int32_t i) const { return model->mesh.triangles[i]; }
};

TEST_F(ObjFixture, VerticesAreScaledWithYNegated) {
    model = load("v 1.5 2 -0.25\nv 1\n", 64);
    ASSERT_NE(model, nullptr);
    ASSERT_EQ(model->vertex_list->count, 2u);
    EXPECT_EQ(vertex(0)->model_x, 0x600000);
    EXPECT_EQ(vertex(0)->model_y, -0x800000);
    EXPECT_EQ(vertex(0)->model_z, -0x100000);
    EXPECT_EQ(vertex(0)->colour, 15);
    EXPECT_EQ(vertex(0)->stamp, 0u);
    EXPECT_EQ(vertex(1)->model_y, 0);  // missing fields count as 0
    EXPECT_EQ(output, temp.dir() + "model.obj\n");
}

TEST_F(ObjFixture, TabsSeparateFieldsLikeSpaces) {
    model = load("v\t1\t2 \t3\n\tf 1 1 1\n");
    ASSERT_NE(model, nullptr);
    ASSERT_EQ(model->vertex_list->count, 1u);
    EXPECT_EQ(vertex(0)->model_z, 0x30000);
    EXPECT_EQ(model->mesh.count, 1);
}

TEST_F(ObjFixture, TextureCoordinatesBecomeTexels) {
    model = load("vt 0.5 0.5\nmtllib m.mtl\nvt 0.5 0.25\nvt 0 0\nvt 1 1\nvt -0.5 0\n");
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(output, temp.dir() + "model.obj\nLoading mtllib '" + temp.dir() +
                          "m.mtl'\nLoading texure '" + temp.dir() + "t.pcx'\n");
    ASSERT_NE(model->material, nullptr);
    EXPECT_EQ(model->material->width, 256u);
    ASSERT_EQ(model->texcoord_list->count, 4u);  // the vt before mtllib is dropped
    const int32_t expected[4][2] = {{128, 192}, {0, 256}, {256, 0}, {65408, 256}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(texcoord(i)->u, expected[i][0]) << i;
        EXPECT_EQ(texcoord(i)->v, expected[i][1]) << i;
    }
}

TEST_F(ObjFixture, FacesTakeTheirFirstThreeCorners) {
    model = load(
        "mtllib m.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nvt 0 0\nvt 1 0\nvt 0 1\nvt 1 1\n"
        "f 1/1 2/2 3/3 4/4\nf 1 2 3\nf 2//5 3//6 4//7\nf 4/4/1 3/3/2 2/2/3\n");
    ASSERT_NE(model, nullptr);
    ASSERT_EQ(model->mesh.count, 4);
    ASSERT_EQ(model->mesh.triangles, reinterpret_cast<Triangle**>(model->triangle_list->items));
    const Triangle* quad = triangle(0);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(quad->vertices[i], vertex(i));
        EXPECT_EQ(quad->texcoords[i], texcoord(i));
    }
    EXPECT_EQ(quad->texture, model->material);
    EXPECT_EQ(quad->flat_colour, 15);
    EXPECT_EQ(quad->pixel_count, PIXEL_COUNT_UNDRAWN);
    // Corners without texture coordinates make a flat triangle, even with a material loaded.
    for (int t : {1, 2}) {
        EXPECT_EQ(triangle(t)->texture, nullptr) << t;
        for (int i = 0; i < 3; ++i) EXPECT_EQ(triangle(t)->texcoords[i], nullptr) << t;
    }
    EXPECT_EQ(triangle(2)->vertices[0], vertex(1));
    EXPECT_EQ(triangle(3)->texcoords[0], texcoord(3));
    EXPECT_EQ(triangle(3)->texture, model->material);
}

TEST_F(ObjFixture, FacesWithoutThreeDefinedVerticesAreDropped) {
    model = load(
        "v 0 0 0\nv 1 0 0\nv 0 1 0\n"
        "f 1 2\nf\nf 0 1 2\nf -1 -2 -3\nf 1 2 4\nf 1 2 3\nv 1 1 1\nf 2 3 4\n");
    ASSERT_NE(model, nullptr);
    ASSERT_EQ(model->mesh.count, 2);
    EXPECT_EQ(triangle(1)->vertices[2], vertex(3));
    EXPECT_NE(output.find("Dropped 5 faces without three defined vertices\n"), std::string::npos);
}

TEST_F(ObjFixture, TextureNumbersThatDoNotExistMakeTheTriangleFlat) {
    model = load(
        "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1/1 2/2 3/3\n"  // no material: no texcoords
        "mtllib m.mtl\nvt 0 0\nf 1/1 2/1 3/2\nf 1/1 2/0 3/1\nf 1/-1 2/1 3/1\nf 1/1 2/1 3/1\n");
    ASSERT_NE(model, nullptr);
    ASSERT_EQ(model->mesh.count, 5);
    for (int t = 0; t < 4; ++t) {
        EXPECT_EQ(triangle(t)->texture, nullptr) << t;
        for (int i = 0; i < 3; ++i) EXPECT_EQ(triangle(t)->texcoords[i], nullptr) << t;
    }
    EXPECT_EQ(triangle(4)->texture, model->material);
}

TEST_F(ObjFixture, ALongLineIsCutNotSplit) {
    std::string comment = "#" + std::string(79, '-') + "v 9 9 9\n";
    std::string face = "f 1 1 1" + std::string(80, ' ') + "\n";
    model = load("v 1 2 3\n" + comment + face);
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->vertex_list->count, 1u);
    EXPECT_EQ(model->mesh.count, 1);
}

TEST_F(ObjFixture, LaterMaterialsApplyToLaterStatements) {
    temp.write("u.pcx", pcx_8bit(4, 2, Bytes(8, 1)));
    temp.write("n.mtl", std::string("# second\nmap_Kd u.pcx\nmap_Kd t.pcx\n"));
    model = load(
        "v 0 0 0\nmtllib m.mtl\nvt 1 1\nf 1/1 1/1 1/1\nmtllib n.mtl\nvt 1 0\n"
        "f 1/2 1/2 1/2\n");
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->material->width, 4u);
    EXPECT_EQ(triangle(0)->texture->width, 256u);
    EXPECT_EQ(triangle(1)->texture, model->material);
    EXPECT_EQ(texcoord(1)->u, 4);
    EXPECT_EQ(texcoord(1)->v, 2);
}

TEST_F(ObjFixture, MaterialsThatCannotBeLoadedRefuseTheModel) {
    temp.write("none.mtl", std::string("newmtl plain\nKd 1 0 0\n"));
    temp.write("empty.mtl", std::string("map_Kd\n"));
    temp.write("jpeg.mtl", std::string("map_Kd photo.jpg\n"));
    Bytes truncated = pcx_8bit(2, 2, Bytes(4, 0));
    truncated.resize(129);
    temp.write("bad.pcx", truncated);
    temp.write("short.mtl", std::string("map_Kd bad.pcx\n"));
    const char* statements[] = {"mtllib missing.mtl", "mtllib",          "mtllib none.mtl",
                                "mtllib empty.mtl",   "mtllib jpeg.mtl", "mtllib short.mtl"};
    for (const char* statement : statements) {
        Model* refused = load(std::string("v 1 2 3\n") + statement + "\nf 1 1 1\n");
        EXPECT_EQ(refused, nullptr) << statement;
        free_model(refused);
        ASSERT_GE(output.size(), 22u);
        EXPECT_EQ(output.substr(output.size() - 22), "Unable to load mtllib\n") << statement;
    }
}

TEST(LoadObj, AMissingFileFails) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(load_obj("no/such/model.obj", 1), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "no/such/model.obj\nFailed\n");
    free_model(nullptr);
}

TEST(LoadMtl, TextureBesideTheObjFile) {
    TempDir temp;
    temp.write("t.pcx", pcx_8bit(3, 1, Bytes{1, 2, 3}));
    temp.write("m.mtl", std::string("# comment\n\nnewmtl a\n  map_Kd t.pcx extra\n"));
    testing::internal::CaptureStdout();
    Texture* texture = load_mtl(temp.dir().c_str(), "m.mtl");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Loading texure '" + temp.dir() + "t.pcx'\n");
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->width, 3u);
    EXPECT_EQ(texture->pixels[2], 3);
    free_texture(texture);
    EXPECT_EQ(load_mtl(nullptr, "m.mtl"), nullptr);
    EXPECT_EQ(load_mtl(temp.dir().c_str(), nullptr), nullptr);
}

}  // namespace
