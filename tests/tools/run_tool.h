// Running a built tool as a user would, through the shell: in a chosen folder, under a time
// limit, with what it printed on each stream kept for the test.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

struct ToolRun {
    int status = -1;  // exit status; 124 when the time limit stopped it, -1 on a signal
    std::string out, err;
};

inline std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// `arg` as one shell word, whatever it holds.
inline std::string shell_quoted(const std::string& arg) {
    std::string q = "'";
    for (char c : arg) {
        if (c == '\'') {
            q += "'\\''";
        } else {
            q += c;
        }
    }
    return q + '\'';
}

// Runs `command` (already quoted; a time limit in front) with `args` from `dir`, standard input
// from `input`. The output goes through two files in `scratch`, removed again.
inline ToolRun run_tool(const std::string& command, const std::vector<std::string>& args,
                        const std::filesystem::path& dir, const std::filesystem::path& scratch,
                        const std::string& input = "/dev/null") {
    const std::filesystem::path out = scratch / ".stdout", err = scratch / ".stderr";
    std::string line = "cd " + shell_quoted(dir) + " && " + command;
    for (const std::string& a : args) line += ' ' + shell_quoted(a);
    line += " <" + shell_quoted(input) + " >" + shell_quoted(out) + " 2>" + shell_quoted(err);
    const int raw = std::system(line.c_str());
    ToolRun r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = read_file(out);
    r.err = read_file(err);
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return r;
}
