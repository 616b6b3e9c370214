// Buffered reading after a failed read, and the reason each refused file is given: the file at
// fault is named, innermost first.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "loaders/input.h"
#include "loaders/obj.h"
#include "loaders/pcx.h"
#include "loaders/test_files.h"

namespace {

TEST(ReadLine, AFailedReadIsAnErrorNotTheEnd) {
    TempDir temp;
    InputFile* in = input_adopt(open(temp.dir().c_str(), O_RDONLY));  // reading it fails
    ASSERT_NE(in, nullptr);
    char buffer[OBJ_LINE_SIZE];
    EXPECT_EQ(read_line(in, buffer, sizeof(buffer)), -1);
    EXPECT_EQ(in->error, EISDIR);
    EXPECT_EQ(read_line(in, buffer, sizeof(buffer)), -1);  // and stays failed
    input_close(in);
}

// A model directory: "m.obj" names "m.mtl", which names "t.pcx".
struct Refusals : testing::Test {
    TempDir temp;
    const std::string obj = "v 0 0 0\nv 1 0 0\nv 0 1 0\nmtllib m.mtl\nvt 0 0\nf 1/1 2/1 3/1\n";

    // Loads m.obj as a required model; the reason it was refused, "" when it loads.
    std::string refusal() {
        testing::internal::CaptureStdout();
        Model* model = load_required_model((temp.dir() + "m.obj").c_str(), 1);
        testing::internal::GetCapturedStdout();
        const std::string reason = model == nullptr ? load_failure() : "";
        free_model(model);
        return reason.rfind(temp.dir(), 0) == 0 ? reason.substr(temp.dir().size()) : reason;
    }
};

TEST_F(Refusals, TheFileAtFaultAndTheReason) {
    const Bytes good_pcx = pcx_8bit(2, 2, {1, 2, 3, 4});
    auto cut = [](Bytes bytes, size_t size) {
        bytes.resize(size);
        return bytes;
    };
    PcxHeader wide = pcx_layout(8, 1, 1, 1);
    wide.xmax = 20000;
    PcxHeader empty_width = pcx_layout(8, 1, 1, 1);
    empty_width.xmin = 5;
    struct Case {
        const char* name;
        const char* file;  // the file replaced; null: none is written
        // Its contents; "-": no file, "/": a directory, "|": a pipe nobody writes to,
        // "@": a link to /dev/null.
        std::string text;
        std::string reason;  // "" when the model loads
    };
    const auto text = [](const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); };
    const Case cases[] = {
        {"all there", nullptr, "", ""},
        {"model missing", "m.obj", "-", "m.obj: cannot open (No such file or directory)"},
        {"model is a directory", "m.obj", "/", "m.obj: is a directory"},
        {"model is a device", "m.obj", "@", "m.obj: not a regular file"},
        {"model is a pipe", "m.obj", "|", "m.obj: not a regular file"},
        {"model empty", "m.obj", "", "m.obj: empty"},
        {"model without faces", "m.obj", "v 1 2 3\nv 1 2 3\n",
         "m.obj: no usable face (2 vertices, no face)"},
        {"a face without its vertices", "m.obj", "v 0 0 0\nf 1 1 1\n# c\nf 1 2 3\n",
         "m.obj: unusable face on line 4 (it needs three defined vertices)"},
        {"mtllib without a name", "m.obj", "v 0 0 0\nmtllib\n",
         "m.obj: line 2: mtllib names no file"},
        {"material missing", "m.mtl", "-", "m.mtl: cannot open (No such file or directory)"},
        {"material is a directory", "m.mtl", "/", "m.mtl: is a directory"},
        {"material empty", "m.mtl", "", "m.mtl: empty"},
        {"material without map_Kd", "m.mtl", "newmtl a\nKd 1 1 1\n", "m.mtl: names no texture"},
        {"map_Kd without a name", "m.mtl", "map_Kd\n", "m.mtl: names no texture"},
        {"texture missing", "t.pcx", "-", "t.pcx: cannot open (No such file or directory)"},
        {"texture is a directory", "t.pcx", "/", "t.pcx: is a directory"},
        {"texture is a device", "t.pcx", "@", "t.pcx: not a regular file"},
        {"texture empty", "t.pcx", "", "t.pcx: empty"},
        {"texture cut in its header", "t.pcx", text(cut(good_pcx, 100)),
         "t.pcx: cut short (128 bytes of header expected, 100 found)"},
        {"texture cut in a run", "t.pcx", text(cut(good_pcx, 128 + 5)),
         "t.pcx: cut short (2 of 4 bytes of image data)"},
        {"texture not PCX", "t.pcx", "GIF89a" + std::string(200, 'x'),
         "t.pcx: not a PCX image (bad header)"},
        {"texture of 3 planes", "t.pcx", text(pcx_header(pcx_layout(8, 3, 1, 1))),
         "t.pcx: bit depth or plane count not supported (8 bits x 3 planes)"},
        {"texture too wide", "t.pcx", text(pcx_header(wide)),
         "t.pcx: image too large (20001 x 1, at most 16384 x 16384)"},
        {"texture of no width", "t.pcx", text(pcx_header(empty_width)),
         "t.pcx: not a PCX image (bad size -4 x 1)"},
    };
    for (const Case& c : cases) {
        temp.write("m.obj", obj);
        temp.write("m.mtl", std::string("newmtl a\nmap_Kd t.pcx\n"));
        temp.write("t.pcx", good_pcx);
        if (c.file != nullptr) {
            const std::string path = temp.dir() + c.file;
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
        EXPECT_EQ(refusal(), c.reason) << c.name;
        std::filesystem::remove_all(temp.dir() + (c.file != nullptr ? c.file : "none"));
    }
}

TEST(TunnelTexture, AFailureNamesTheFileAndTheReason) {
    TempDir temp;
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof(previous)), nullptr);
    ASSERT_EQ(chdir(temp.dir().c_str()), 0);
    std::filesystem::create_directories("res/tunnel.pcx");
    testing::internal::CaptureStdout();
    EXPECT_EQ(load_tunnel_texture(), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Unable to load texture 'res/tunnel.pcx'\n");
    EXPECT_STREQ(load_failure(), "res/tunnel.pcx: is a directory");
    EXPECT_EQ(chdir(previous), 0);
}

}  // namespace
