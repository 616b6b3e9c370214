// For the tools' tests: a scratch folder, a file read whole, a built tool run through the shell.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

struct ScratchDir {
    std::filesystem::path path;
    ScratchDir() {
        char name[] = "/tmp/tool_test_XXXXXX";
        path = mkdtemp(name) != nullptr ? name : "/nonexistent";
    }
    ~ScratchDir() { std::filesystem::remove_all(path); }
    std::string operator/(const std::string& name) const { return (path / name).string(); }
};

inline std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// `arg` as one shell word, whatever it holds.
inline std::string shell_quoted(const std::string& arg) {
    std::string q = "'";
    for (char c : arg) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + '\'';
}

struct ToolRun {
    int status = -1;  // exit status; 124 when the time limit stopped it, -1 on a signal
    std::string out, err;
};

// Runs `command` (quoted, a time limit in front) with `args` in `dir`, standard input `input`.
inline ToolRun run_tool(const std::string& command, const std::vector<std::string>& args,
                        const std::filesystem::path& dir, const std::string& input = "/dev/null") {
    const ScratchDir io;
    std::string line = "cd " + shell_quoted(dir) + " && " + command;
    for (const std::string& a : args) line += ' ' + shell_quoted(a);
    line += " <" + shell_quoted(input) + " >" + io / "out" + " 2>" + io / "err";
    const int raw = std::system(line.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, read_file(io / "out"), read_file(io / "err")};
}

// "--out @/png --every 0" as arguments, each "@" standing for `dir`.
inline std::vector<std::string> words(const std::string& line, const std::string& dir) {
    std::vector<std::string> args;
    std::istringstream in(line);
    for (std::string w; in >> w;) args.push_back(w[0] == '@' ? dir + w.substr(1) : w);
    return args;
}
