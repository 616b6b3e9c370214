// The window through SDL: opening it, presenting each frame (expansion, blit, flip, pacing,
// the frame-rate line) and the only input the show has. Escape released, the window closed and
// SIGINT, SIGQUIT, SIGHUP or SIGTERM all end the process with status 0, SDL shut down.
#pragma once

// Holds SIGINT, SIGQUIT, SIGHUP and SIGTERM back in the calling thread and in every thread it
// starts from now on (the audio and video threads), so that they always reach the main thread,
// which acts on them between frames. Called first thing; init_display lets them through.
void hold_exit_signals();

// Opens the 800 x 480 16-bit window and the 32-bit expansion surface, points the framebuffer
// at its storage and installs the exit handlers. When SDL cannot give a video device, mode or
// surface, prints SDL's reason on standard error and exits with status 1.
void init_display();

// Shows the framebuffer doubled, holds the frame to 17 ms, prints the frame rate and handles
// events. Exits the process on Escape released, window closed or a pending signal.
void present_frame();
