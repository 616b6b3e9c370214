// Command-line conventions shared by the tools:
//   -h or --help prints the usage on standard output and exits 0;
//   a usage error names the option and what is wrong with it ("capture: --every: needs a whole
//   number of at least 1, got 0"), then prints the usage on standard error and exits 2;
//   any other error is one line on standard error ("capture: cannot open res/x.pcx: ...") and
//   exit status 1.
// Arguments are walked in order: cli_next takes the next one, cli_value and the typed readers
// take the value that follows an option.
#pragma once

#include <cstdint>

struct CommandLine {
    const char* program;  // the tool's name, the first word of every message
    const char* usage;    // the whole usage text, ending in a newline
    int argc;
    char** argv;
    int next;  // index of the next argument to take
};

CommandLine cli_start(const char* program, const char* usage, int argc, char** argv);

// True while arguments remain.
bool cli_more(const CommandLine& line);

// The next argument. -h and --help print the usage on standard output and exit 0.
const char* cli_next(CommandLine* line);

// The argument after `option`; a missing one is a usage error.
const char* cli_value(CommandLine* line, const char* option);

// The value after `option` as a whole number in [min, max].
uint64_t cli_whole(CommandLine* line, const char* option, uint64_t min, uint64_t max);

// The value after `option` as a finite decimal number of seconds in [0, max] ("1.5").
double cli_seconds(CommandLine* line, const char* option, double max);

// Says that `arg` is not an option this tool knows, or an argument it did not expect.
[[noreturn]] void cli_unexpected(const CommandLine& line, const char* arg);

// "program: <message>", the usage, exit 2.
[[noreturn]] void cli_usage_error(const CommandLine& line, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// "program: <message>" on standard error, exit 1.
[[noreturn]] void cli_fail(const char* program, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
