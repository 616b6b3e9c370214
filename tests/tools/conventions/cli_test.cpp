// The command-line library's edge cases through a small parser; each tool's in conventions_test.sh.
#include "cli.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

// No regular-expression characters: it stands for itself in the expected standard error.
constexpr const char* kUsage = "usage: tool --count N --level N --seconds S --name X\n";

// A tool's argument loop; prints "count level seconds name" on standard error and exits 0.
[[noreturn]] void parse(std::initializer_list<const char*> args) {
    std::vector<std::string> storage{"tool"};
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : storage) argv.push_back(arg.data());
    CommandLine line = cli_start("tool", kUsage, static_cast<int>(argv.size()), argv.data());
    unsigned long long count = 0, level = 0;
    double seconds = 0;
    const char* name = "";
    while (cli_more(line)) {
        const char* arg = cli_next(&line);
        if (std::strcmp(arg, "--count") == 0) {
            count = cli_whole(&line, arg, 1, UINT64_MAX);
        } else if (std::strcmp(arg, "--level") == 0) {
            level = cli_whole(&line, arg, 0, 10);
        } else if (std::strcmp(arg, "--seconds") == 0) {
            seconds = cli_seconds(&line, arg, 600);
        } else if (std::strcmp(arg, "--name") == 0) {
            name = cli_value(&line, arg);
        } else {
            cli_unexpected(line, arg);
        }
    }
    std::fprintf(stderr, "%llu %llu %g %s\n", count, level, seconds, name);
    std::exit(0);
}

TEST(CommandLineDeathTest, ValuesTakenAndUsageErrorsThatNameTheArgument) {
    const struct {
        std::initializer_list<const char*> args;
        const char* err;  // a regular expression: standard error's first line
    } cases[] = {
        {{"--count", "18446744073709551615"}, "18446744073709551615 0 0 "},
        {{"--count", "007", "--level", "0"}, "7 0 0 "},
        {{"--level", "2", "--level", "10"}, "0 10 0 "},
        {{"--seconds", "1.5"}, "0 0 1.5 "},
        {{"--seconds", "600"}, "0 0 600 "},
        {{"--name", "-h"}, "0 0 0 -h"},  // a value is taken as it is
        {{"-"}, "tool: -: unexpected argument"},
        {{"--count", "-1"}, "tool: --count: .* got -1"},
        {{"--count", "3x"}, "tool: --count: .* got 3x"},
        {{"--count", "18446744073709551616"}, "tool: --count: .* got 18446744073709551616"},
        {{"--level", "11"}, "tool: --level: needs a whole number from 0 to 10, got 11"},
        {{"--seconds", "600.5"}, "tool: --seconds: .* got 600.5"},
        {{"--seconds", "0x10"}, "tool: --seconds: .* got 0x10"},
        {{"--seconds", "."}, "tool: --seconds: .* got \\."},
        {{"--seconds", "1.2.3"}, "tool: --seconds: .* got 1\\.2\\.3"},
    };
    for (const auto& c : cases) {
        const bool error = std::strncmp(c.err, "tool: ", 6) == 0;
        EXPECT_EXIT(parse(c.args), testing::ExitedWithCode(error ? 2 : 0),
                    std::string("^") + c.err + "\n" + (error ? kUsage : "") + "$")
            << c.err;
    }
}

}  // namespace
