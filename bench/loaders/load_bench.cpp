// Load time of every model and image of res/ and of the shared corpus (when it is there):
// PCX files opened and decoded, OBJ files loaded with their materials, OBJ and MTL files
// read line by line, and one file holding a single 16 MiB line.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "loaders/obj.h"
#include "loaders/pcx.h"

namespace {

namespace fs = std::filesystem;

// The loaders print progress lines; they go to /dev/null while a benchmark runs.
class QuietStdout {
   public:
    QuietStdout() {
        std::fflush(stdout);
        saved_ = dup(STDOUT_FILENO);
        int null = open("/dev/null", O_WRONLY);
        if (null >= 0) {
            dup2(null, STDOUT_FILENO);
            close(null);
        }
    }
    ~QuietStdout() {
        std::fflush(stdout);
        if (saved_ >= 0) {
            dup2(saved_, STDOUT_FILENO);
            close(saved_);
        }
    }
    QuietStdout(const QuietStdout&) = delete;
    QuietStdout& operator=(const QuietStdout&) = delete;

   private:
    int saved_;
};

void set_bytes(benchmark::State& state, const fs::path& path) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(fs::file_size(path)));
}

void decode_pcx(benchmark::State& state, const fs::path& path) {
    for (auto _ : state) {
        PcxImage* image = pcx_open(path.c_str());
        if (image != nullptr) benchmark::DoNotOptimize(pcx_decode(image));
        pcx_free(image);
    }
    set_bytes(state, path);
}

void load_model(benchmark::State& state, const fs::path& path) {
    QuietStdout quiet;
    for (auto _ : state) {
        Model* model = load_obj(path.c_str(), 64);
        benchmark::DoNotOptimize(model);
        free_model(model);
    }
    set_bytes(state, path);
}

void read_lines(benchmark::State& state, const fs::path& path) {
    char line[OBJ_LINE_SIZE];
    for (auto _ : state) {
        InputFile* in = input_open(path.c_str());
        int64_t lines = 0;
        while (read_line(in, line, sizeof(line)) >= 0) ++lines;
        input_close(in);
        benchmark::DoNotOptimize(lines);
    }
    set_bytes(state, path);
}

// A file of one 16 MiB line, removed when the program ends.
struct LongLine {
    fs::path path = fs::temp_directory_path() / ("loaders-bench-" + std::to_string(getpid()));
    LongLine() {
        std::ofstream out(path, std::ios::binary);
        const std::string chunk(1 << 20, 'x');
        for (int i = 0; i < 16; ++i) out << chunk;
        out << "\n";
    }
    ~LongLine() {
        std::error_code ignored;
        fs::remove(path, ignored);
    }
};

std::string lower_extension(const fs::path& path) {
    std::string ext = path.extension();
    std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
    return ext;
}

int register_all() {
    const fs::path root = LOADERS_BENCH_ROOT;
    std::vector<fs::path> files;
    for (const fs::path& dir :
         {root / "res", root / "../shared/corpus/pcx", root / "../shared/corpus/obj"}) {
        if (!fs::is_directory(dir)) continue;
        for (const auto& entry : fs::recursive_directory_iterator(dir)) {
            if (entry.is_regular_file()) files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        const std::string ext = lower_extension(file);
        const std::string name = fs::relative(file, root).generic_string();
        if (ext == ".pcx") {
            benchmark::RegisterBenchmark(("pcx/" + name).c_str(), decode_pcx, file);
        } else if (ext == ".obj") {
            benchmark::RegisterBenchmark(("obj/" + name).c_str(), load_model, file);
            benchmark::RegisterBenchmark(("lines/" + name).c_str(), read_lines, file);
        } else if (ext == ".mtl") {
            benchmark::RegisterBenchmark(("lines/" + name).c_str(), read_lines, file);
        }
    }
    static LongLine long_line;
    benchmark::RegisterBenchmark("lines/one 16 MiB line", read_lines, long_line.path);
    return 0;
}

const int registered = register_all();

}  // namespace
