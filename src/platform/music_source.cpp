#include "platform/music_source.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/clock.h"

namespace {

// Reads the whole file. Returns the image, or null after printing one line naming the file;
// nothing stays allocated then.
uint8_t* read_module(const char* path, uint32_t* size) {
    const int fd = open(path, O_RDONLY);
    if (fd < 0) {
        std::printf("Unable to open %s: %s; playing without music\n", path, std::strerror(errno));
        return nullptr;
    }
    const off_t end = lseek(fd, 0, SEEK_END);
    const auto length = static_cast<uint32_t>(end);
    uint8_t* data = (end > 0 && lseek(fd, 0, SEEK_SET) == 0)
                        ? static_cast<uint8_t*>(std::malloc(length))
                        : nullptr;
    ssize_t got = -1;
    if (data != nullptr) got = read(fd, data, length);
    close(fd);
    if (got < 0 || static_cast<uint32_t>(got) != length) {
        std::printf("Unable to read %s: %s; playing without music\n", path,
                    got < 0 && end > 0 ? std::strerror(errno) : "short or empty file");
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
    ModPlayer* player = player_create(sample_rate, image, length);
    if (player == nullptr) {
        std::printf("Unable to play %s: not a 4-channel 31-sample module; playing without music\n",
                    path);
        std::free(image);
        return nullptr;
    }
    // The show's clock: it never stops, so neither does the song.
    player_set_looping(player, 1);
    player_set_row_callback(player, count_row, nullptr);
    player_set_tick_callback(player, count_tick, nullptr);
    *data = image;
    *size = length;
    return player;
}
