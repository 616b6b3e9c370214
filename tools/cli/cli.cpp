#include "cli.h"

#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void say(const char* program, const char* format, va_list args) {
    std::fprintf(stderr, "%s: ", program);
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
}

}  // namespace

CommandLine cli_start(const char* program, const char* usage, int argc, char** argv) {
    return CommandLine{program, usage, argc, argv, 1};
}

bool cli_more(const CommandLine& line) {
    return line.next < line.argc;
}

const char* cli_next(CommandLine* line) {
    const char* arg = line->argv[line->next++];
    if (std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "--help") == 0) {
        // A help that could not be written (a closed pipe, a full disk) is not a success.
        if (std::fputs(line->usage, stdout) < 0 || std::fflush(stdout) != 0) {
            std::fprintf(stderr, "%s: cannot write the usage: %s\n", line->program,
                         std::strerror(errno));
            std::exit(1);
        }
        std::exit(0);
    }
    return arg;
}

const char* cli_value(CommandLine* line, const char* option) {
    if (!cli_more(*line)) cli_usage_error(*line, "%s: needs a value", option);
    return line->argv[line->next++];
}

uint64_t cli_whole(CommandLine* line, const char* option, uint64_t min, uint64_t max) {
    const char* text = cli_value(line, option);
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(text, &end, 10);
    // strtoull accepts a sign and leading blanks; a whole number here is digits only.
    const bool digits = text[0] >= '0' && text[0] <= '9';
    if (!digits || *end != '\0' || errno != 0 || value < min || value > max) {
        if (max == UINT64_MAX) {
            cli_usage_error(*line, "%s: needs a whole number of at least %llu, got %s", option,
                            static_cast<unsigned long long>(min), text);
        }
        cli_usage_error(*line, "%s: needs a whole number from %llu to %llu, got %s", option,
                        static_cast<unsigned long long>(min), static_cast<unsigned long long>(max),
                        text);
    }
    return value;
}

double cli_seconds(CommandLine* line, const char* option, double max) {
    const char* text = cli_value(line, option);
    // Digits with at most one decimal point: strtod alone would also take a sign, blanks,
    // exponents, hexadecimal ("0x10" is 16) and "inf".
    int digits = 0, points = 0;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c >= '0' && *c <= '9') {
            ++digits;
        } else if (*c == '.') {
            ++points;
        } else {
            points = 2;
            break;
        }
    }
    const double value = digits > 0 && points <= 1 ? std::strtod(text, nullptr) : -1;
    if (!std::isfinite(value) || value < 0 || value > max) {
        cli_usage_error(*line, "%s: needs a number of seconds from 0 to %g (like 1.5), got %s",
                        option, max, text);
    }
    return value;
}

void cli_unexpected(const CommandLine& line, const char* arg) {
    if (arg[0] == '-' && arg[1] != '\0') cli_usage_error(line, "%s: unknown option", arg);
    cli_usage_error(line, "%s: unexpected argument", arg);
}

void cli_usage_error(const CommandLine& line, const char* format, ...) {
    va_list args;
    va_start(args, format);
    say(line.program, format, args);
    va_end(args);
    std::fputs(line.usage, stderr);
    std::exit(2);
}

void cli_fail(const char* program, const char* format, ...) {
    va_list args;
    va_start(args, format);
    say(program, format, args);
    va_end(args);
    std::exit(1);
}
