// The browser build's clock: the show draws the tick being heard, as the page estimates it.
#pragma once

// Sets tick_count to the tick the page says will be heard when the coming frame is shown. The
// main loop calls it once per frame, before drawing, so a frame sees one tick throughout.
void follow_heard_tick();
