// platform/sdl: the Linux target's platform layer: window, input, signals and sound device.
//
// The sound device through SDL. For the program: start_music reads the show's module, creates
// the looping player with the counting callbacks (count_tick and count_row in core/clock.h)
// and opens the device paused; start_audio lets it run; the device callback then renders from
// music_player on SDL's audio thread. For a tool playing music of its own (modplay): the
// device with a callback of its own.
#pragma once

#include <cstdint>
#include <string>

#include "music/player.h"

using AudioCallback = void (*)(void* userdata, uint8_t* stream, int len);

// Set once by start_music and kept for the life of the process. When the module cannot be
// read or is refused, music_player stays null and the device plays silence.
extern uint8_t* music_data;
extern uint32_t music_size;
extern ModPlayer* music_player;

// Reads the module, creates the player and opens the device paused. A missing, unreadable,
// short or refused module, or no audio device, is reported in one line and the show goes on.
void start_music();
// Unpauses the device.
void start_audio();
// SDL's pull callback: renders len / 4 whole stereo frames of signed 16-bit from music_player,
// or silence when there is none. The bytes past the last whole frame are left as they are.
void audio_callback(void* userdata, uint8_t* stream, int len);
// Opens the device at 44100 Hz, signed 16-bit little-endian stereo, 1024 frames a buffer,
// paused. Returns 0, or -1 after printing SDL's reason when no device could be opened.
int open_audio(AudioCallback callback);

// A tool's device: opened as open_audio does, with SDL's audio started for it; false, with
// SDL's reason, when none can be had. audio_device_close shuts both down again.
bool audio_device_open(AudioCallback callback, std::string* reason);
void audio_device_close();
// Sleeps the calling thread while the device plays.
void audio_wait_ms(uint32_t ms);
