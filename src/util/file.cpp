#include "util/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Reads from fd into data[*got..limit) until the end, a failure or the limit; errno of a failed
// read, or 0.
int read_into(int fd, uint8_t* data, size_t limit, size_t* got) {
    while (*got < limit) {
        const ssize_t n = read(fd, data + *got, limit - *got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno != 0 ? errno : EIO;
        if (n == 0) break;
        *got += static_cast<size_t>(n);
    }
    return 0;
}

bool refuse(char* reason, size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

bool refuse(char* reason, size_t size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(reason, size, format, args);
    va_end(args);
    return false;
}

}  // namespace

int open_regular_file(const char* path, uint64_t* size, char* reason, size_t reason_size) {
    const int fd = open(path, O_RDONLY | O_NONBLOCK);
    if (fd < 0) {
        refuse(reason, reason_size, "cannot open: %s", std::strerror(errno));
        return -1;
    }
    struct stat st {};
    const int flags = fcntl(fd, F_GETFL);
    if (fstat(fd, &st) != 0 || flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        refuse(reason, reason_size, "cannot open: %s", std::strerror(errno));
    } else if (S_ISDIR(st.st_mode)) {
        refuse(reason, reason_size, "is a directory");
    } else if (!S_ISREG(st.st_mode)) {
        // Devices and pipes may never end, and have no size to check the data against.
        refuse(reason, reason_size, "not a regular file");
    } else {
        *size = static_cast<uint64_t>(st.st_size);
        return fd;
    }
    close(fd);
    return -1;
}

bool read_whole_file(const char* path, size_t max_bytes, uint8_t** data, size_t* size, char* reason,
                     size_t reason_size) {
    uint64_t length = 0;
    const int fd = open_regular_file(path, &length, reason, reason_size);
    if (fd < 0) return false;
    uint8_t* bytes = nullptr;
    size_t got = 0;
    int error = 0;
    if (length == 0) {
        refuse(reason, reason_size, "empty");
    } else if (length > max_bytes) {
        refuse(reason, reason_size, "too large (over %zu bytes)", max_bytes);
    } else if ((bytes = static_cast<uint8_t*>(std::malloc(length))) == nullptr) {
        refuse(reason, reason_size, "out of memory");
    } else if ((error = read_into(fd, bytes, length, &got)) != 0) {
        refuse(reason, reason_size, "read error: %s", std::strerror(error));
    } else if (got != length) {
        refuse(reason, reason_size, "cut short while reading (%zu of %llu bytes)", got,
               static_cast<unsigned long long>(length));
    } else {
        close(fd);
        *data = bytes;
        *size = got;
        return true;
    }
    close(fd);
    std::free(bytes);
    return false;
}

bool read_whole_stream(int fd, size_t max_bytes, uint8_t** data, size_t* size, char* reason,
                       size_t reason_size) {
    size_t capacity = 1 << 16;
    size_t got = 0;
    auto* bytes = static_cast<uint8_t*>(std::malloc(capacity));
    while (bytes != nullptr) {
        const size_t before = got;
        const int error = read_into(fd, bytes, std::min(capacity, max_bytes + 1), &got);
        if (error != 0) {
            std::free(bytes);
            return refuse(reason, reason_size, "read error: %s", std::strerror(error));
        }
        if (got > max_bytes) {
            std::free(bytes);
            return refuse(reason, reason_size, "too large (over %zu bytes)", max_bytes);
        }
        if (got < capacity || got == before) break;  // the end of the stream
        capacity *= 2;
        auto* grown = static_cast<uint8_t*>(std::realloc(bytes, capacity));
        if (grown == nullptr) std::free(bytes);
        bytes = grown;
    }
    if (bytes == nullptr) return refuse(reason, reason_size, "out of memory");
    if (got == 0) {
        std::free(bytes);
        return refuse(reason, reason_size, "empty");
    }
    *data = bytes;
    *size = got;
    return true;
}
