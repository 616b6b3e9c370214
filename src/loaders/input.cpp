#include "loaders/input.h"

#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "util/file.h"

namespace {

char failure[512];

}  // namespace

InputFile* input_open(const char* path) {
    if (path == nullptr) return nullptr;
    uint64_t size = 0;
    char reason[160];
    const int fd = open_regular_file(path, &size, reason, sizeof reason);
    if (fd < 0) {
        note_load_failure(path, "%s", reason);
        return nullptr;
    }
    InputFile* in = input_adopt(fd);
    if (in == nullptr) {
        note_load_failure(path, "out of memory");
        return nullptr;
    }
    in->size = size;
    return in;
}

InputFile* input_adopt(int fd) {
    // The block is not cleared: only bytes read into it are ever handed out.
    auto* in = static_cast<InputFile*>(std::malloc(sizeof(InputFile)));
    if (in == nullptr) {
        close(fd);
        return nullptr;
    }
    in->fd = fd;
    in->error = 0;
    in->size = 0;
    in->next = 0;
    in->end = 0;
    return in;
}

void input_close(InputFile* in) {
    if (in == nullptr) return;
    close(in->fd);
    std::free(in);
}

size_t input_fill(InputFile* in) {
    if (in->next < in->end) return in->end - in->next;
    in->next = 0;
    in->end = 0;
    if (in->error != 0) return 0;  // a failed read is not retried as if the data had ended
    for (;;) {
        ssize_t got = read(in->fd, in->block, sizeof(in->block));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            in->error = errno != 0 ? errno : EIO;
            return 0;
        }
        in->end = static_cast<size_t>(got);
        return in->end;
    }
}

size_t input_read(InputFile* in, uint8_t* out, size_t size) {
    size_t done = 0;
    while (done < size && input_fill(in) > 0) {
        size_t take = in->end - in->next;
        if (take > size - done) take = size - done;
        std::memcpy(out + done, in->block + in->next, take);
        in->next += take;
        done += take;
    }
    return done;
}

const char* load_failure() {
    return failure;
}

void load_failure_clear() {
    failure[0] = '\0';
}

void note_load_failure(const char* path, const char* format, ...) {
    if (failure[0] != '\0') return;
    int used =
        std::snprintf(failure, sizeof(failure), "%s: ", path != nullptr ? path : "(no file)");
    if (used < 0 || static_cast<size_t>(used) >= sizeof(failure)) return;
    va_list args;
    va_start(args, format);
    std::vsnprintf(failure + used, sizeof(failure) - static_cast<size_t>(used), format, args);
    va_end(args);
}
