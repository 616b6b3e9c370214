// util: the pointer vector and whole-file reading, for every layer above.
//
// Opening and reading files for every reader: regular files only, opened without blocking (a
// pipe without a writer would hold the open, and start-up, for ever), read to their end
// whatever one read returns, a failed read an error rather than a shorter file. Reasons are
// phrases for "PATH: REASON" lines ("cannot open: No such file or directory").
#pragma once

#include <cstddef>
#include <cstdint>

// Opens `path` for reading when it is a regular file: its descriptor (blocking again), with its
// size in *size; or -1 with the reason ("cannot open: ...", "is a directory", "not a regular
// file") in `reason` (at most reason_size bytes with its NUL).
int open_regular_file(const char* path, uint64_t* size, char* reason, size_t reason_size);

// The whole of the regular file `path` in a buffer from malloc, or false with the reason: those
// of open_regular_file, "empty", "too large (over N bytes)", "out of memory", "read error: ...",
// "cut short while reading (N of M bytes)". Nothing stays allocated after a failure.
bool read_whole_file(const char* path, size_t max_bytes, uint8_t** data, size_t* size, char* reason,
                     size_t reason_size);

// The rest of an open stream (standard input, a pipe) to its end, the same way.
bool read_whole_stream(int fd, size_t max_bytes, uint8_t** data, size_t* size, char* reason,
                       size_t reason_size);
