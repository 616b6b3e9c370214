// The show, once for every target: its start-up in order and its frames (the intro, the music
// starting after it, then the main scene). What differs per target (the music's source, the
// display, presentation and pacing) comes in as a ShowTarget: the Linux program's window and
// sound device, the web page's canvas and audio worklet, the headless show's memory.
#pragma once

#include "demo/intro.h"
#include "demo/show.h"

// A target's part in the show; `data` is handed to each hook. begin_frame may be null.
struct ShowTarget {
    void (*start_music)(void* data);   // reads the module and readies the music, paused
    void (*open_display)(void* data);  // the frame gets its storage
    void (*start_audio)(void* data);   // the intro is over: the music plays
    void (*begin_frame)(void* data);   // before each main-scene frame is drawn
    void (*present)(void* data);       // shows the finished frame and paces it
    void* data;
};

struct ShowRun {
    const ShowTarget* target;
    IntroState intro;
    MainLoopState main;
    bool music_started;
};

// The start-up, in order: the clocks, the random choices and the figures back at their start,
// the font, the tunnel texture, the pumpkin, the intro, the music, the main scene, the
// display, a black frame, the matrix stack, the word groups. A show already running is
// released first. 0, or -1 after one line naming the resource that cannot be loaded.
int show_start(ShowRun* run, const ShowTarget* target);

// One frame: an intro frame while the intro runs, else (after starting the music once) a
// main-scene frame. Each is drawn, presented, then counted.
void show_frame(ShowRun* run);

// Frees everything show_start loaded and built. Null globals are skipped.
void show_release();
