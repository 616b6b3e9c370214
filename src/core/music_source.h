// The show's music source, without the sound device: the module file read whole and its
// player created, looping, with the clock's counting callbacks registered. The program feeds
// the device from it; the capture tool renders it into memory.
#pragma once

#include <cstdint>

#include "music/player.h"

// The show's music and the rate every target plays it at.
inline constexpr const char* MUSIC_PATH = "res/brumo.mod";
inline constexpr uint16_t MUSIC_RATE = 44100;

// The player for the module at `path`, or null after one line on standard error naming the
// file and the reason ("res/brumo.mod: is a directory; playing without music") when it is
// missing, unreadable, empty, cut short or refused. A module whose sample data is cut short
// plays what is there, after one line that says so. On success *data and *size hold the module
// image, which the player reads for as long as it lives.
ModPlayer* load_music(const char* path, uint16_t sample_rate, uint8_t** data, uint32_t* size);
