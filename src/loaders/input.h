// loaders: the PCX, OBJ and MTL readers and their buffered input.
//
// Buffered file input for the readers, and the one-line account of why a file was refused.
//
// The readers take bytes and lines from a block in memory and go to the file once per block.
// A failed read is kept apart from the end of the data, so a file that cannot be read to its
// end is an error rather than a shorter file.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr size_t INPUT_BLOCK_SIZE = 16 * 1024;

struct InputFile {
    int fd;
    int error;      // errno of the first failed read; 0 while none has failed
    uint64_t size;  // the file's size when it was opened (0 for an adopted descriptor)
    size_t next;    // the next unread byte of block
    size_t end;     // bytes held in block
    uint8_t block[INPUT_BLOCK_SIZE];
};

// Opens `path` for reading. Null when it cannot be opened, is not a regular file (a
// directory, a device, a pipe) or memory runs out; the reason is noted for load_failure.
InputFile* input_open(const char* path);
// Reads from an open descriptor, which the InputFile then owns. Null (and the descriptor
// closed) when memory runs out.
InputFile* input_adopt(int fd);
// Closes the file and releases the record. Null is ignored.
void input_close(InputFile* in);

// Refills the block once it is used up: the bytes now held, 0 at the end of the file or after
// a failed read (see `error`).
size_t input_fill(InputFile* in);

// The next byte, or -1 at the end of the file or after a failed read.
inline int input_byte(InputFile* in) {
    if (in->next == in->end && input_fill(in) == 0) return -1;
    return in->block[in->next++];
}

// Copies up to `size` bytes to `out`: the number copied, fewer only at the end of the file or
// after a failed read.
size_t input_read(InputFile* in, uint8_t* out, size_t size);

// Why the latest refused file was refused, as "path: reason"; "" when no file has been refused
// since the last load_failure_clear.
const char* load_failure();
void load_failure_clear();
// Notes "path: reason" unless a reason is already noted. Readers note a failure where they
// meet it, innermost first, so the file at fault is named rather than the file that named it.
void note_load_failure(const char* path, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
