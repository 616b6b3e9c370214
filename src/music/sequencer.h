// The sequencer: row and tick stepping, the song's end and the length of each tick. Internal
// to the player.
#pragma once

#include "music/module.h"

// Sets the coming tick's length for the current tempo: 5 x sample_rate / (2 x tempo) frames
// with the remainder carried from tick to tick (at least 1 frame); a new tempo starts the
// carry afresh. Tempo 125 at 44100 Hz gives 882 frames every tick.
void player_update_tick_length(ModPlayer* player);
// Ends the tick that has just been mixed: advances `tick`, runs player_tick and sets the next
// tick's length from the tempo it leaves. player_render calls it at every tick boundary.
void player_end_tick(ModPlayer* player);
// One tick: the tick callback, then either the per-tick effects or, at a row start, the row
// read into the channels, its effects and the row callback. The song ends here.
void player_tick(ModPlayer* player);
// Loads the cell of the current row for channel c into the channel.
void player_fetch_row(ModPlayer* player, int c);
// The row effects of channels whose delayed note or retrigger falls on this tick.
void player_delayed_triggers(ModPlayer* player);
