#include "loaders/input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

char failure[512];

}  // namespace

InputFile* input_open(const char* path) {
    if (path == nullptr) return nullptr;
    // Not blocking: a pipe without a writer would hold the open, and start-up, for ever.
    int fd = open(path, O_RDONLY | O_NONBLOCK);
    if (fd < 0) {
        note_load_failure(path, "cannot open (%s)", std::strerror(errno));
        return nullptr;
    }
    struct stat status;
    const int flags = fcntl(fd, F_GETFL);
    if (fstat(fd, &status) != 0 || flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        note_load_failure(path, "cannot open (%s)", std::strerror(errno));
        close(fd);
        return nullptr;
    }
    // Devices and pipes may never end, and have no size to check the data against.
    if (!S_ISREG(status.st_mode)) {
        note_load_failure(path, S_ISDIR(status.st_mode) ? "is a directory" : "not a regular file");
        close(fd);
        return nullptr;
    }
    InputFile* in = input_adopt(fd);
    if (in == nullptr) {
        note_load_failure(path, "out of memory");
        return nullptr;
    }
    in->size = static_cast<uint64_t>(status.st_size);
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
