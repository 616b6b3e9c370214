// resgen [directory]: writes the show's resources into the directory (default "res").
#include <cstdio>
#include <fstream>
#include <string>

#include "resgen.h"

int main(int argc, char** argv) {
    std::string dir = argc > 1 ? argv[1] : "res";
    for (const ResourceFile& file : make_all_resources()) {
        std::string path = dir + "/" + file.name;
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(file.bytes.data()),
                  static_cast<std::streamsize>(file.bytes.size()));
        if (!out) {
            std::fprintf(stderr, "resgen: cannot write %s\n", path.c_str());
            return 1;
        }
        std::printf("%s: %zu bytes\n", path.c_str(), file.bytes.size());
    }
    return 0;
}
