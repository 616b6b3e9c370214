// The scratch directory of a fuzzer process: made in $TMPDIR (else /tmp) on first use and
// removed, with whatever is left in it, when the process exits. Targets write each input's
// files into it and remove them again once the input has been run.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

class Scratch {
   public:
    static const Scratch& get() {
        static const Scratch scratch;
        return scratch;
    }
    // The path of `name` in the directory.
    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    // Writes `bytes` to the file `name` and returns its path.
    std::string write(const std::string& name, std::string_view bytes) const {
        std::string file = path(name);
        if (FILE* out = std::fopen(file.c_str(), "wb")) {
            if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), out);
            std::fclose(out);
        }
        return file;
    }
    void remove(const std::string& name) const { unlink(path(name).c_str()); }

    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

   private:
    Scratch() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern =
            std::string(tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp") + "/fuzz-loaders-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            std::perror("fuzz: cannot make a scratch directory");
            std::abort();
        }
        dir_ = pattern;
    }
    ~Scratch() {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    std::string dir_;
};
