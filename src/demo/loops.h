// The frame loops that present through the window: the intro's 300 frames and the particle
// field's endless loop. Each frame is drawn by the SDL-free show code, then presented.
#pragma once

// Plays the intro: 300 frames, after which frame_count is 299.
void run_intro();

// Runs the particle field for ever (Escape, window close or a signal end it). before_frame,
// when given, runs at the start of every frame, for instance to spawn particles.
void run_particle_demo(void (*before_frame)() = nullptr);
