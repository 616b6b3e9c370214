// The page's main loop: the browser calls it on every animation frame, and it must hand
// control back after each. It runs the step it is given about 60 times a second, whatever the
// display's rate.
#pragma once

// Runs `step` from the browser's animation frames from now on. Does not return.
[[noreturn]] void page_loop_run(void (*step)());
