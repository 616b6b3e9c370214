// The page's canvas as the show's display.
#pragma once

// Opens the 800 x 480 canvas once (the page's still-frame hook may ask again) and points the
// framebuffer at its storage. When the canvas cannot be had, says why and exits with status 1.
void canvas_open();

// Shows the framebuffer doubled on the canvas.
void canvas_present();
