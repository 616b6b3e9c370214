// Sample streaming: the voices' fetch callbacks, and with ramping the fades of cut-off notes and
// the decay of samples that run out. Internal to the player.
#pragma once

#include <cstdint>

#include "music/module.h"

// Output frames in `us` microseconds at `rate`, at least 1.
int32_t ramp_frames(uint16_t rate, uint32_t us);
// The voices' fetch callback; `channel` is the Channel* whose voice is refilling.
void sample_fetch(void* channel, int8_t* buffer);
// Moves the sound of channel c's voice to the channel's fade, to die away there while the voice
// starts a new note or falls silent. Nothing happens with ramping off or when the voice is
// silent.
void player_fade_note(ModPlayer* player, int c);
// With ramping, fades every voice that a frequency of 0 has just silenced while it sounded (a
// sample that ran out, a period out of range); player_render calls it before each run.
void player_fade_silenced(ModPlayer* player);
