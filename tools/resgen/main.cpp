// resgen [DIR]: writes the show's resources into DIR (default "res").
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli.h"
#include "resgen.h"

namespace {

constexpr const char* kProgram = "resgen";
constexpr const char* kUsage =
    "usage: resgen [DIR]\n"
    "Writes the show's resources (models, PCX textures and the tune, all made by code) into\n"
    "DIR, an existing directory (default: res).\n"
    "  -h, --help   show this help\n";

// Writes through a temporary file renamed into place, so a failed write never leaves a
// truncated resource where a good one was.
bool write_whole_file(const std::string& path, const std::vector<uint8_t>& bytes,
                      std::string* error) {
    const std::string part = path + ".part";
    std::FILE* file = std::fopen(part.c_str(), "wb");
    if (file == nullptr) {
        *error = std::strerror(errno);
        return false;
    }
    // The reason of the first step that fails: a small file's bytes reach the disk only when
    // it is closed, so the close can fail after a write that succeeded.
    int reason = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) reason = errno;
    if (std::fclose(file) != 0 && reason == 0) reason = errno;
    if (reason == 0 && std::rename(part.c_str(), path.c_str()) != 0) reason = errno;
    if (reason == 0) return true;
    *error = std::strerror(reason);
    std::remove(part.c_str());
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    CommandLine line = cli_start(kProgram, kUsage, argc, argv);
    const char* dir = nullptr;
    while (cli_more(line)) {
        const char* arg = cli_next(&line);
        if (arg[0] == '-' || dir != nullptr) cli_unexpected(line, arg);
        dir = arg;
    }
    if (dir == nullptr) dir = "res";
    struct stat info;
    if (stat(dir, &info) != 0) cli_fail(kProgram, "%s: %s", dir, std::strerror(errno));
    if (!S_ISDIR(info.st_mode)) cli_fail(kProgram, "%s: not a directory", dir);

    for (const ResourceFile& file : make_all_resources()) {
        const std::string path = std::string(dir) + "/" + file.name;
        std::string error;
        if (!write_whole_file(path, file.bytes, &error)) {
            cli_fail(kProgram, "cannot write %s: %s", path.c_str(), error.c_str());
        }
        std::printf("%s: %zu bytes\n", path.c_str(), file.bytes.size());
    }
    return 0;
}
