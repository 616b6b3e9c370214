// The shared command-line library, through a small tool's parser: the values it accepts, the
// usage errors that name the argument (status 2, usage on standard error), help on standard
// output (status 0) and plain failures (status 1).
#include "cli.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "tools/run_tool.h"

namespace {

constexpr const char* kUsage = "usage: tool [--count N] [--level N] [--seconds S] [--name X]\n";

struct Parsed {
    uint64_t count = 0;
    uint64_t level = 0;
    double seconds = 0;
    std::string name;
};

// A tool's loop over its arguments, as every tool writes it.
Parsed parse(std::initializer_list<const char*> args) {
    std::vector<std::string> storage{"tool"};
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : storage) argv.push_back(arg.data());
    CommandLine line = cli_start("tool", kUsage, static_cast<int>(argv.size()), argv.data());
    Parsed parsed;
    while (cli_more(line)) {
        const char* arg = cli_next(&line);
        if (std::strcmp(arg, "--count") == 0) {
            parsed.count = cli_whole(&line, arg, 1, UINT64_MAX);
        } else if (std::strcmp(arg, "--level") == 0) {
            parsed.level = cli_whole(&line, arg, 0, 10);
        } else if (std::strcmp(arg, "--seconds") == 0) {
            parsed.seconds = cli_seconds(&line, arg, 600);
        } else if (std::strcmp(arg, "--name") == 0) {
            parsed.name = cli_value(&line, arg);
        } else {
            cli_unexpected(line, arg);
        }
    }
    return parsed;
}

// `text` as a regular expression that matches exactly it.
std::string literal(const std::string& text) {
    std::string pattern;
    for (char c : text) {
        if (std::strchr("[](){}.*+?^$|\\", c) != nullptr) pattern += '\\';
        pattern += c;
    }
    return pattern;
}

TEST(CommandLine, AcceptsWellFormedValues) {
    struct Case {
        std::initializer_list<const char*> args;
        uint64_t count, level;
        double seconds;
        const char* name;
    };
    const Case cases[] = {
        {{}, 0, 0, 0, ""},
        {{"--count", "1"}, 1, 0, 0, ""},
        {{"--count", "18446744073709551615"}, UINT64_MAX, 0, 0, ""},
        {{"--count", "007"}, 7, 0, 0, ""},
        {{"--level", "0"}, 0, 0, 0, ""},
        {{"--level", "10"}, 0, 10, 0, ""},
        {{"--seconds", "1.5"}, 0, 0, 1.5, ""},
        {{"--seconds", ".25"}, 0, 0, 0.25, ""},
        {{"--seconds", "3."}, 0, 0, 3, ""},
        {{"--seconds", "600"}, 0, 0, 600, ""},
        {{"--seconds", "0"}, 0, 0, 0, ""},
        // A value is taken as it is, even when it looks like an option.
        {{"--name", "--count"}, 0, 0, 0, "--count"},
        {{"--name", "-h"}, 0, 0, 0, "-h"},
        {{"--level", "2", "--count", "5", "--level", "3"}, 5, 3, 0, ""},
    };
    for (const Case& c : cases) {
        const Parsed parsed = parse(c.args);
        const std::string where = "case starting " + std::to_string(c.count) + "/" +
                                  std::to_string(c.level) + "/" + c.name;
        EXPECT_EQ(parsed.count, c.count) << where;
        EXPECT_EQ(parsed.level, c.level) << where;
        EXPECT_DOUBLE_EQ(parsed.seconds, c.seconds) << where;
        EXPECT_EQ(parsed.name, c.name) << where;
    }
}

TEST(CommandLineDeathTest, UsageErrorsNameTheArgumentThenShowTheUsage) {
    struct Case {
        std::initializer_list<const char*> args;
        const char* message;  // the first line on standard error, after "tool: "
    };
    const Case cases[] = {
        {{"--bogus"}, "--bogus: unknown option"},
        {{"-x"}, "-x: unknown option"},
        {{"input.txt"}, "input.txt: unexpected argument"},
        {{"-"}, "-: unexpected argument"},
        {{"--count"}, "--count: needs a value"},
        {{"--level", "1", "--name"}, "--name: needs a value"},
        {{"--count", "0"}, "--count: needs a whole number of at least 1, got 0"},
        {{"--count", "-1"}, "--count: needs a whole number of at least 1, got -1"},
        {{"--count", "+3"}, "--count: needs a whole number of at least 1, got \\+3"},
        {{"--count", " 3"}, "--count: needs a whole number of at least 1, got  3"},
        {{"--count", "3x"}, "--count: needs a whole number of at least 1, got 3x"},
        {{"--count", ""}, "--count: needs a whole number of at least 1, got $"},
        {{"--count", "18446744073709551616"},
         "--count: needs a whole number of at least 1, got 18446744073709551616"},
        {{"--level", "11"}, "--level: needs a whole number from 0 to 10, got 11"},
        {{"--level", "1.0"}, "--level: needs a whole number from 0 to 10, got 1.0"},
        {{"--seconds", "-1"},
         "--seconds: needs a number of seconds from 0 to 600 .like 1.5., got -1"},
        {{"--seconds", "600.5"}, "--seconds: .* got 600.5"},
        {{"--seconds", "0x10"}, "--seconds: .* got 0x10"},
        {{"--seconds", "1e2"}, "--seconds: .* got 1e2"},
        {{"--seconds", "inf"}, "--seconds: .* got inf"},
        {{"--seconds", "nan"}, "--seconds: .* got nan"},
        {{"--seconds", "."}, "--seconds: .* got \\.$"},
        {{"--seconds", "1.2.3"}, "--seconds: .* got 1\\.2\\.3"},
        {{"--seconds", "1.5s"}, "--seconds: .* got 1\\.5s"},
        {{"--seconds", " 1"}, "--seconds: .* got  1"},
    };
    for (const Case& c : cases) {
        const std::string pattern =
            std::string("^tool: ") + c.message + "\n" + literal(kUsage) + "$";
        EXPECT_EXIT(parse(c.args), ::testing::ExitedWithCode(2), pattern) << c.message;
    }
}

TEST(CommandLineDeathTest, HelpGoesToStandardOutputWhereverItStands) {
    char dir[] = "/tmp/cli-test-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string out = std::string(dir) + "/out";
    const std::initializer_list<const char*> cases[] = {
        {"-h"}, {"--help"}, {"--count", "3", "--help"}, {"--help", "--bogus"}};
    for (const auto& args : cases) {
        std::remove(out.c_str());
        EXPECT_EXIT(
            {
                if (std::freopen(out.c_str(), "w", stdout) == nullptr) std::_Exit(3);
                parse(args);
            },
            ::testing::ExitedWithCode(0), "^$");
        EXPECT_EQ(read_file(out), kUsage);
    }
    std::remove(out.c_str());
    rmdir(dir);
}

TEST(CommandLineDeathTest, HelpThatCannotBeWrittenIsAFailure) {
    EXPECT_EXIT(
        {
            if (std::freopen("/dev/full", "w", stdout) == nullptr) std::_Exit(3);
            parse({"--help"});
        },
        ::testing::ExitedWithCode(1), "^tool: cannot write the usage");
}

TEST(CommandLineDeathTest, FailuresAreOneLineWithoutTheUsage) {
    EXPECT_EXIT(cli_fail("tool", "cannot open %s: %s", "in.txt", "gone"),
                ::testing::ExitedWithCode(1), "^tool: cannot open in.txt: gone\n$");
}

}  // namespace
