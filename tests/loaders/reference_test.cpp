// The readers against their own earlier results: every file of res/ and of the shared corpus
// (when present), and the files of res/ cut short, read line by line, as a PCX image and as
// an OBJ model, summarised as hashes and counts and compared with
// tests/loaders/load_reference.txt. Any change in what a reader
// makes of any of these files shows up here.
//
// To record the current results instead (after a deliberate change of behaviour), run the
// test from the repository root with LOADER_REFERENCE_OUT=tests/loaders/load_reference.txt.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "loaders/obj.h"
#include "loaders/pcx.h"
#include "loaders/test_files.h"

namespace {

namespace fs = std::filesystem;

// FNV-1a, 64 bits, over bytes and numbers fed in order.
struct Hash {
    uint64_t value = 0xCBF29CE484222325ull;
    void bytes(const void* data, size_t size) {
        const auto* p = static_cast<const uint8_t*>(data);
        for (size_t i = 0; i < size; ++i) value = (value ^ p[i]) * 0x100000001B3ull;
    }
    void number(int64_t n) { bytes(&n, sizeof(n)); }
};

std::string hex(uint64_t value) {
    std::ostringstream out;
    out << std::hex << value;
    return out.str();
}

// Every line read_line gives with a buffer of `size`: how many, and a hash of each result
// and the bytes it stored (NUL bytes of the file included).
std::string line_summary(const fs::path& path, size_t size) {
    InputFile* in = input_open(path.c_str());
    if (in == nullptr) return "unopened";
    std::vector<char> buffer(size);
    Hash hash;
    int64_t lines = 0;
    for (;;) {
        int32_t got = read_line(in, buffer.data(), size);
        hash.number(got);
        if (got < 0) break;
        hash.bytes(buffer.data(), static_cast<size_t>(got) + 1);
        ++lines;
    }
    EXPECT_EQ(in->error, 0) << path;
    input_close(in);
    return std::to_string(lines) + " " + hex(hash.value);
}

std::string pcx_summary(const fs::path& path) {
    PcxImage* image = pcx_open(path.c_str());
    if (image == nullptr) return "refused";
    std::ostringstream out;
    out << image->width << "x" << image->height << " " << image->bits_per_pixel << "x"
        << image->planes << " " << image->line_bytes;
    const int result = pcx_decode(image);
    Hash pixels, palette;
    pixels.bytes(image->pixels, static_cast<size_t>(image->width) * image->height);
    palette.bytes(image->palette, sizeof(image->palette));
    out << " decode " << result << " " << hex(pixels.value) << " " << hex(palette.value);
    pcx_free(image);
    return out.str();
}

int64_t index_of(const PtrVector* list, const void* item) {
    if (item == nullptr) return -1;
    const auto end = list->items + list->count;
    return std::find(list->items, end, item) - list->items;
}

std::string obj_summary(const fs::path& path) {
    testing::internal::CaptureStdout();
    Model* model = load_obj(path.c_str(), 64);
    Hash printed;
    const std::string output = testing::internal::GetCapturedStdout();
    printed.bytes(output.data(), output.size());
    if (model == nullptr) return "null " + hex(printed.value);
    Hash shape;
    for (uint64_t i = 0; i < model->vertex_list->count; ++i) {
        const auto* v = static_cast<const Vertex*>(model->vertex_list->items[i]);
        shape.number(v->model_x), shape.number(v->model_y), shape.number(v->model_z);
    }
    for (uint64_t i = 0; i < model->texcoord_list->count; ++i) {
        const auto* t = static_cast<const TexCoord*>(model->texcoord_list->items[i]);
        shape.number(t->u), shape.number(t->v);
    }
    for (int32_t i = 0; i < model->mesh.count; ++i) {
        const Triangle* t = model->mesh.triangles[i];
        for (int c = 0; c < 3; ++c) {
            shape.number(index_of(model->vertex_list, t->vertices[c]));
            shape.number(index_of(model->texcoord_list, t->texcoords[c]));
        }
        shape.number(index_of(model->material_list, t->texture));
    }
    for (uint64_t i = 0; i < model->material_list->count; ++i) {
        const auto* texture = static_cast<const Texture*>(model->material_list->items[i]);
        Hash texels;
        texels.bytes(texture->pixels, size_t{texture->width} * texture->height);
        shape.number(texture->width), shape.number(texture->height), shape.number(texels.value);
    }
    std::ostringstream out;
    out << model->vertex_list->count << " " << model->texcoord_list->count << " "
        << model->mesh.count << " " << hex(shape.value) << " " << hex(printed.value);
    free_model(model);
    return out.str();
}

// "name kind" -> summary, for every file of res/ and the corpus that is present.
std::map<std::string, std::string> current_results() {
    std::vector<fs::path> files;
    for (const fs::path& root : {fs::path("res"), fs::path("../shared/corpus")}) {
        if (!fs::is_directory(root)) continue;
        for (const auto& entry : fs::recursive_directory_iterator(root)) {
            const fs::path ext = entry.path().extension();
            if (entry.is_regular_file() && ext != ".md" && ext != ".tsv")
                files.push_back(entry.path());
        }
    }
    std::map<std::string, std::string> results;
    // Files of res/ cut short at a few places: in the PCX header, just after it, in the middle
    // of a run or a line, one byte before the end.
    TempDir temp;
    for (const fs::path& file : files) {
        if (file.generic_string().rfind("res/", 0) != 0) continue;
        std::ifstream in(file, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), {});
        for (size_t cut : {size_t{1}, size_t{127}, size_t{129}, bytes.size() / 2,
                           bytes.size() * 3 / 4, bytes.size() - 1}) {
            const std::string name = file.filename().string() + ".cut" + std::to_string(cut);
            const fs::path part = temp.write(name, bytes.substr(0, cut));
            std::string ext = file.extension();
            results["cut/" + name + " lines81"] = line_summary(part, OBJ_LINE_SIZE);
            if (ext == ".pcx") results["cut/" + name + " pcx"] = pcx_summary(part);
        }
    }
    for (const fs::path& file : files) {
        const std::string name = file.generic_string();
        std::string ext = file.extension();
        std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
        results[name + " lines81"] = line_summary(file, OBJ_LINE_SIZE);
        results[name + " lines5"] = line_summary(file, 5);
        if (ext == ".pcx") results[name + " pcx"] = pcx_summary(file);
        if (ext == ".obj") results[name + " obj"] = obj_summary(file);
    }
    return results;
}

TEST(LoadReference, EveryFileReadsAsItDidBefore) {
    const std::map<std::string, std::string> results = current_results();
    if (const char* out_path = std::getenv("LOADER_REFERENCE_OUT")) {
        std::ofstream out(out_path);
        out << "# name kind summary; written by reference_test.cpp\n";
        for (const auto& [key, summary] : results) out << key << " " << summary << "\n";
        GTEST_SKIP() << "recorded " << results.size() << " results in " << out_path;
    }
    std::ifstream in("tests/loaders/load_reference.txt");
    ASSERT_TRUE(in) << "no tests/loaders/load_reference.txt";
    int compared = 0, res_files = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string name, kind, summary;
        fields >> name >> kind;
        std::getline(fields >> std::ws, summary);
        const bool in_res = name.rfind("res/", 0) == 0 || name.rfind("cut/", 0) == 0;
        res_files += in_res;
        const auto found = results.find(name + " " + kind);
        if (found == results.end()) {
            // Corpus files are compared when the corpus is there; res/ must always be.
            EXPECT_FALSE(in_res) << name << " is missing";
            continue;
        }
        EXPECT_EQ(found->second, summary)
            << name << " " << kind << " reads differently (if res/ or a reader was changed on "
            << "purpose, record again as the top of reference_test.cpp says)";
        ++compared;
    }
    EXPECT_GT(res_files, 0);
    EXPECT_GE(compared, res_files);
}

}  // namespace
