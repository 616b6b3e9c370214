// res/, the corpus and cut res/ files read as lines, PCX and OBJ, against load_reference.txt;
// after a deliberate change run from the root with LOADER_REFERENCE_OUT=<that file> to record.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "loaders/obj.h"
#include "loaders/pcx.h"
#include "loaders/test_files.h"
#include "util/recorded.h"

namespace {

namespace fs = std::filesystem;

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
        for (int c = 0; c < 3; ++c) {
            // A corner not of the model hashes as the list's count, a missing one as -1.
            shape.number(index_of(vertices, t->vertices[c]))
                .number(index_of(texcoords, t->texcoords[c]));
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
