// The main scene: the pumpkin, its scene graph, the jittering words and the frame the main
// loop draws, split around presentation so that every target runs the same choreography.
#pragma once

#include <cstdint>

#include "loaders/obj.h"
#include "math/fixed.h"
#include "render/scene.h"
#include "text/jitter.h"

inline constexpr int WORD_GROUPS = 5;

extern Model* pumpkin_model;
extern SceneNode* main_root;
extern SceneNode* tilt_node;
extern SceneNode* pulse_node;
extern SceneNode* pumpkin_node;
extern JitterText* word_groups[WORD_GROUPS];

// Prints "Loading resources..." and loads the pumpkin at scale 64. 0, or -1 after one line on
// standard error naming the file at fault and the reason ("demo: res/pumpkin.pcx: not a PCX
// image (bad header)").
int load_pumpkin();

// The main scene graph: root, tilt, pulse and the pumpkin's mesh node. 0, or -1 when memory
// runs out.
int build_main_scene();

// The five jittering word groups. 0, or -1 when memory runs out.
int create_word_groups();

// Frees the pumpkin, the main scene and the word groups; the globals are null again.
void release_main_scene();

// The main loop's state between frames.
struct MainLoopState {
    Fixed tick_angle;     // T: 3 degrees per tick, formed after the previous frame
    uint32_t angle_tick;  // the tick count T was formed from
    Fixed turn;           // A, set in phase 1 only
    Fixed turn_copy;      // B, A's value for the tilt
    Fixed tilt;           // C, set in phase 2 only
    bool burst_latch;     // a figure has been launched in the current beat cycle
};

// Sets the scene's matrices for the current tick count, transforms, clears, draws the
// pumpkin, the flying figures and the words: everything before presentation.
void draw_main_frame(MainLoopState* state);

// After presentation: takes the tick angle for the next frame, may launch a figure, and adds
// 1 to frame_count.
void finish_main_frame(MainLoopState* state);
