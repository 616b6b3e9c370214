// What the intro and the main scene share: the one font, and the lines that say why the show
// cannot start.
#pragma once

#include "text/font.h"

extern Font* demo_font;

// The font over the built-in glyph table. 0, or -1 after "demo: out of memory".
int create_demo_font();

// Prints "demo: PATH: REASON" on standard error for the loaders' latest refusal (or, when they
// noted none, for `path`, out of memory) and returns -1.
int report_load_failure(const char* path);

// Prints "demo: out of memory" on standard error and returns -1.
int report_out_of_memory();
