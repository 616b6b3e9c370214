// The intro: for exactly 300 frames a textured cube turns about its vertical axis and bobs up
// and down behind the white words "Proudly" and "Presents". It runs before the music starts,
// so it is timed by frame_count alone.
#pragma once

#include "loaders/obj.h"
#include "math/fixed.h"
#include "render/scene.h"
#include "text/text.h"

inline constexpr uint32_t INTRO_FRAMES = 300;

extern Model* intro_cube;
extern TextObject* intro_texts[2];
extern SceneNode* intro_root;
extern SceneNode* intro_group;
extern SceneNode* intro_mesh_node;

// Loads "res/cube.obj" at scale 1, makes the two texts over demo_font and builds the intro's
// scene. 0 on success; -1, after a line naming what failed, when something cannot be had.
int load_intro_resources();

// Frees what load_intro_resources made; the globals are null again.
void release_intro();

// The intro's own clock: the bob phase, a Fixed-degree angle.
struct IntroState {
    Fixed phase;
};

// True while frame_count says fewer than 300 intro frames have been presented.
bool intro_running();

// Draws one intro frame into the framebuffer and advances the bob phase. The caller presents
// the frame and then adds 1 to frame_count.
void draw_intro_frame(IntroState* state);
