// Where the show puts its models at a given music tick or intro frame: the local matrices
// of the main scene (root translation, tilt, horizontal swell, turn) and of the intro's cube.
// The resource checks pose the models with these to see them as the show does.
#pragma once

#include <cstdint>

#include "math/fixed.h"
#include "math/trig.h"

struct PumpkinPose {
    Fixed x, y, z;  // main_root translation
    Fixed tilt;     // about X, Fixed degrees
    Fixed swell;    // x scale of pulse_node; 0 before tick 1000 (the node stays identity)
    Fixed turn;     // about Y, Fixed degrees
};

// The pose while the show's tick count reads `tick` (T taken from the same reading).
inline PumpkinPose pumpkin_pose(uint32_t tick) {
    auto turn_at = [](uint32_t t) { return static_cast<Fixed>(t * 3 * 65536) / 4; };
    PumpkinPose pose{0x3C0000, 0x320000, 0xB40000, 0, 0, turn_at(tick)};
    if (tick <= 899) return pose;
    pose.turn = turn_at(899);
    pose.tilt = turn_at(899) - turn_at(tick < 999 ? tick : 999);
    if (tick <= 999) return pose;
    Fixed s = deg_sin(static_cast<Fixed>((tick * 15) % 360) << 16);
    pose.y = 0x320000 + 10 * s;
    pose.swell = ((s + 0x10000) >> 2) + 0x10000;
    return pose;
}

struct CubePose {
    Fixed y;     // intro_root's y translation (x 0, z 180)
    Fixed turn;  // intro_group's rotation about Y
};

// Intro frame k = 0..299 (frame_count k).
inline CubePose cube_pose(uint32_t frame) {
    Fixed phase = static_cast<Fixed>(frame) * 0x4000;
    Fixed b = deg_sin(phase * 8);
    return {0xA0000 - 20 * b, static_cast<Fixed>((frame - 1) << 16)};
}
