// demo: the show written once: intro, main scene, timeline, the runner every target drives
// and the headless show.
//
// What the intro and the main scene share: the one font, and the lines that say why the show
// cannot start.
#pragma once

#include "render/scene.h"
#include "text/font.h"

extern Font* demo_font;

// Scene nodes as the show builds them, composing their local matrix: a group under `parent`
// (a root when it is null) and a mesh node. Null when memory runs out.
SceneNode* show_group(SceneNode* parent);
SceneNode* show_mesh(SceneNode* parent, Mesh* mesh);

// The font over the built-in glyph table. 0, or -1 after "demo: out of memory".
int create_demo_font();

// Prints "demo: PATH: REASON" on standard error for the loaders' latest refusal (or, when they
// noted none, for `path`, out of memory) and returns -1.
int report_load_failure(const char* path);

// Prints "demo: out of memory" on standard error and returns -1.
int report_out_of_memory();
