// The frame loops that present through the window: the intro's 300 frames, the main scene
// and the particle field. Each frame is drawn by the SDL-free show code, then presented.
#pragma once

#include "demo/intro.h"
#include "demo/show.h"

// One intro frame: drawn, presented, frame_count advanced.
void intro_frame(IntroState* state);

// Plays the intro: 300 frames, after which frame_count is 299.
void run_intro();

// One main-scene frame: drawn, presented, then the tick bookkeeping and frame_count.
void main_frame(MainLoopState* state);

// Runs the particle field for ever (Escape, window close or a signal end it). before_frame,
// when given, runs at the start of every frame, for instance to spawn particles.
void run_particle_demo(void (*before_frame)() = nullptr);
