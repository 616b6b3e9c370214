// music: the tracker-module player, depending on nothing; music/player.h is its face.
//
// Channel effects: the pitch and volume tables and the per-row and per-tick processing of each
// cell's effect. Pitch is carried as a period and turned into Hz only when a voice is told one.
#pragma once

#include <array>
#include <cstdint>

#include "music/module.h"

// The effect commands: the upper four bits of a cell's effect.
enum Command : uint8_t {
    CMD_ARPEGGIO = 0x0,
    CMD_PORTA_UP = 0x1,
    CMD_PORTA_DOWN = 0x2,
    CMD_TONE_PORTA = 0x3,
    CMD_VIBRATO = 0x4,
    CMD_TONE_PORTA_SLIDE = 0x5,
    CMD_VIBRATO_SLIDE = 0x6,
    CMD_TREMOLO = 0x7,
    CMD_OFFSET = 0x9,
    CMD_VOLUME_SLIDE = 0xA,
    CMD_JUMP = 0xB,
    CMD_SET_VOLUME = 0xC,
    CMD_BREAK = 0xD,
    CMD_EXTENDED = 0xE,
    CMD_SPEED = 0xF,
};

// floor(3546895 / p) for p = 113..856, entry p - 113: the playback rate of period p in Hz
// (3546895 Hz is the PAL Amiga clock periods are counted in).
extern const std::array<uint16_t, PERIOD_MAX - PERIOD_MIN + 1> frequency_table;
// Q15 pitch multipliers for finetune 1..15 (32768 = 1.0); finetune 0 means no change.
inline constexpr std::array<uint16_t, 15> finetune_table = {33005, 33244, 33484, 33727, 33971,
                                                            34217, 34464, 30930, 31154, 31380,
                                                            31607, 31836, 32066, 32298, 32532};
// Three octaves of periods in semitone steps, then 12 zeros that arpeggios may run into.
inline constexpr std::array<uint16_t, 48> period_table = {
    856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453, 428, 404, 381, 360,
    339, 320, 302, 285, 269, 254, 240, 226, 214, 202, 190, 180, 170, 160, 151, 143,
    135, 127, 120, 113, 0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0};
// Half a sine wave scaled to 255, shared by vibrato and tremolo.
inline constexpr std::array<uint8_t, 32> vibrato_table = {
    0,   24,  49,  74,  97,  120, 141, 161, 180, 197, 212, 224, 235, 244, 250, 253,
    255, 253, 250, 244, 235, 224, 212, 197, 180, 161, 141, 120, 97,  74,  49,  24};

// The rate of period p with the finetune, or 0 (silence) for a period outside 113..856.
uint32_t period_frequency(uint16_t period, uint8_t finetune);
// The period n semitones above `period` in period_table; unchanged when it is not there.
uint16_t arpeggio_period(uint16_t period, int n);
void tone_portamento(Channel* ch);
void vibrato(Channel* ch);
void tremolo(Channel* ch);
// One volume-slide step with the effect's parameter, or when that is 0, slide_param (if
// use_slide_param) or `fallback`.
void volume_slide(Channel* ch, bool use_slide_param, uint8_t fallback);
// Row-start processing of channel c, including the note start.
void player_row_effects(ModPlayer* player, int c);
// Processing of channel c on a tick that is not a row start.
void player_tick_effects(ModPlayer* player, int c);
