// The readers on real files: every file of res/ and of the shared corpus (when present), and
// the files of res/ cut short, read line by line, as a PCX image and as an OBJ model,
// summarised as hashes and counts and compared with their earlier results in
// tests/loaders/load_reference.txt, so that any change in what a reader makes of any of these
// files shows up; every model's triangles are checked sound on the way. The corpus's PCX
// images also match pixels decoded outside this project (pcx_reference.txt).
//
// To record the current results instead (after a deliberate change of behaviour), run the
// test from the repository root with LOADER_REFERENCE_OUT=tests/loaders/load_reference.txt.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <tuple>

#include "loaders/obj.h"
#include "loaders/pcx.h"
#include "loaders/test_files.h"

namespace {

namespace fs = std::filesystem;

// Every line read_line gives with a buffer of `size`: how many, and a hash of each result
// and the bytes it stored (NUL bytes of the file included).
std::string line_summary(const fs::path& path, size_t size) {
    InputFile* in = input_open(path.c_str());
    if (in == nullptr) return "unopened";
    std::vector<char> buffer(size);
    Hash hash;
    int64_t lines = 0;
    for (int32_t got; (got = read_line(in, buffer.data(), size)) >= 0; ++lines) {
        hash.number(got).bytes(buffer.data(), static_cast<size_t>(got) + 1);
    }
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
    auto index_of = [](const PtrVector* list, const void* item) -> int64_t {
        return item == nullptr
                   ? -1
                   : std::find(list->items, list->items + list->count, item) - list->items;
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
        for (int c = 0; c < 3; ++c) {
            // Every corner is a vertex of the model, with texture coordinates of the model
            // exactly when the triangle has a texture.
            const int64_t v = index_of(vertices, t->vertices[c]);
            const int64_t tc = index_of(texcoords, t->texcoords[c]);
            EXPECT_TRUE(v >= 0 && v < int64_t(vertices->count)) << path << " " << i;
            EXPECT_EQ(tc >= 0 && tc < int64_t(texcoords->count), t->texture != nullptr) << path;
            shape.number(v).number(tc);
        }
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

// "name kind" -> summary, for every file of res/ and the corpus that is present, and for the
// files of res/ cut in the PCX header, just after it, in the middle and one byte before the end.
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

TEST(LoadReference, EveryFileReadsAsItDidBefore) {
    const std::map<std::string, std::string> results = current_results();
    if (const char* out_path = std::getenv("LOADER_REFERENCE_OUT")) {
        std::ofstream out(out_path);
        out << "# name kind summary; written by corpus_test.cpp (LoadReference)\n";
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
        // Corpus files are compared when the corpus is there; res/ must always be.
        EXPECT_TRUE(found != results.end() || !in_res) << name << " is missing";
        if (found == results.end()) continue;
        EXPECT_EQ(found->second, line.substr(kind_end + 1))
            << key << " reads differently (if res/ or a reader was changed on purpose, record "
            << "again as the top of corpus_test.cpp says)";
        ++compared;
    }
    EXPECT_GT(res_files, 0);
    EXPECT_GE(compared, res_files);
}

const fs::path CORPUS = "../shared/corpus";

TEST(PcxCorpus, DecodesToTheReferencePixels) {
    if (!fs::is_directory(CORPUS / "pcx")) GTEST_SKIP() << "no shared corpus";
    std::ifstream in("tests/loaders/pcx_reference.txt");
    int compared = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string name;
        int32_t width, height;
        uint64_t hash;
        fields >> name >> width >> height >> std::hex >> hash;
        PcxImage* image = pcx_open((CORPUS / "pcx" / name).c_str());
        if (image == nullptr) continue;  // a layout we refuse (the uncompressed file)
        ++compared;
        EXPECT_EQ(pcx_decode(image), 0) << name;
        const size_t pixels = size_t(image->width) * image->height;
        EXPECT_EQ(
            std::tuple(image->width, image->height, Hash().bytes(image->pixels, pixels).value),
            std::tuple(width, height, hash))
            << name;
        pcx_free(image);
    }
    EXPECT_EQ(compared, 14);
}

}  // namespace
