#include "core/music_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/clock.h"

namespace {

// Larger than any module can be (1084 bytes of header, 128 patterns, 31 samples of 128 KiB).
constexpr off_t MAX_MODULE_BYTES = 16 << 20;

void refuse(const char* path, const char* reason) {
    std::fprintf(stderr, "%s: %s; playing without music\n", path, reason);
}

// Reads the whole file. Returns the image, or null after one line on standard error naming
// the file and the reason; nothing stays allocated then.
uint8_t* read_module(const char* path, uint32_t* size) {
    // Not blocking: a pipe without a writer would hold the open, and start-up, for ever. Only a
    // regular file is read, and reading one never blocks.
    const int fd = open(path, O_RDONLY | O_NONBLOCK);
    if (fd < 0) {
        char reason[160];
        std::snprintf(reason, sizeof reason, "cannot open: %s", std::strerror(errno));
        refuse(path, reason);
        return nullptr;
    }
    struct stat st {};
    const char* problem = nullptr;
    if (fstat(fd, &st) != 0) {
        problem = "cannot read its size";
    } else if (S_ISDIR(st.st_mode)) {
        problem = "is a directory";
    } else if (!S_ISREG(st.st_mode)) {
        problem = "not a regular file";
    } else if (st.st_size == 0) {
        problem = "empty";
    } else if (st.st_size > MAX_MODULE_BYTES) {
        problem = "too large for a module (over 16 MiB)";
    }
    if (problem != nullptr) {
        close(fd);
        refuse(path, problem);
        return nullptr;
    }
    const auto length = static_cast<uint32_t>(st.st_size);
    auto* data = static_cast<uint8_t*>(std::malloc(length));
    if (data == nullptr) {
        close(fd);
        refuse(path, "out of memory");
        return nullptr;
    }
    // read may hand over less than asked; a read error is an error, not the end of the file.
    uint32_t got = 0;
    int error = 0;
    while (got < length) {
        const ssize_t n = read(fd, data + got, length - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) error = errno;
        if (n <= 0) break;
        got += static_cast<uint32_t>(n);
    }
    close(fd);
    if (got != length) {
        char reason[160];
        if (error != 0) {
            std::snprintf(reason, sizeof reason, "read error: %s", std::strerror(error));
        } else {
            std::snprintf(reason, sizeof reason, "cut short while reading (%u of %u bytes)", got,
                          length);
        }
        refuse(path, reason);
        std::free(data);
        return nullptr;
    }
    *size = length;
    return data;
}

}  // namespace

ModPlayer* load_music(const char* path, uint16_t sample_rate, uint8_t** data, uint32_t* size) {
    uint32_t length = 0;
    uint8_t* image = read_module(path, &length);
    if (image == nullptr) return nullptr;
    char reason[96];
    ModPlayer* player = nullptr;
    if (player_refusal(image, length, reason, sizeof reason)) {
        refuse(path, reason);
    } else if ((player = player_create(sample_rate, image, length)) == nullptr) {
        refuse(path, "out of memory");
    }
    if (player == nullptr) {
        std::free(image);
        return nullptr;
    }
    uint32_t present = 0;
    uint32_t wanted = 0;
    if (player_sample_data_short(player, &present, &wanted)) {
        std::fprintf(stderr, "%s: sample data cut short (%u of %u bytes); playing what is there\n",
                     path, present, wanted);
    }
    // The show's clock: it never stops, so neither does the song.
    player_set_looping(player, 1);
    player_set_row_callback(player, count_row, nullptr);
    player_set_tick_callback(player, count_tick, nullptr);
    *data = image;
    *size = length;
    return player;
}
