#include "core/music_source.h"

#include <cstdio>
#include <cstdlib>

#include "core/clock.h"
#include "util/file.h"

namespace {

void refuse(const char* path, const char* reason) {
    std::fprintf(stderr, "%s: %s; playing without music\n", path, reason);
}

}  // namespace

ModPlayer* load_music(const char* path, uint16_t sample_rate, uint8_t** data, uint32_t* size) {
    uint8_t* image = nullptr;
    size_t length = 0;
    char reason[160];
    if (!read_whole_file(path, MOD_MAX_FILE_BYTES, &image, &length, reason, sizeof reason)) {
        refuse(path, reason);
        return nullptr;
    }
    const auto bytes = static_cast<uint32_t>(length);  // at most MOD_MAX_FILE_BYTES
    ModPlayer* player = nullptr;
    if (player_refusal(image, bytes, reason, sizeof reason)) {
        refuse(path, reason);
    } else if ((player = player_create(sample_rate, image, bytes)) == nullptr) {
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
    *size = bytes;
    return player;
}
