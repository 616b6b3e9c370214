// platform/web: the web target's platform layer: canvas, page loop and audio worklet link.
//
// The music's link to the page in the browser build: the page plays the music in an
// AudioWorklet (web/music-link.js and web/music-worklet.js); the program reads and checks the
// module, hands it over, says when the intro is over and asks which tick is being heard.
#pragma once

// Reads and checks the show's module, with the same one-line messages as natively for a
// missing or refused one, and hands a copy to the page, which readies the music paused.
void web_music_load();

// The intro is over: the page starts the music.
void web_music_start();

// Sets tick_count to the tick the page says will be heard when the coming frame is shown. The
// main loop calls it once per frame, before drawing, so a frame sees one tick throughout.
void follow_heard_tick();
