// The music's link to the sound device and to the show's clock. start_music reads
// "res/brumo.mod", creates the looping player with the counting callbacks (count_tick and
// count_row in platform/clock.h) and opens the device paused; start_audio lets it run. The
// device callback then renders from music_player on SDL's audio thread.
//
// The browser build compiles platform/web/audio_link.cpp instead, which provides start_music
// and start_audio over the page's AudioWorklet; the rest is the SDL device's alone.
#pragma once

#include <cstdint>

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
