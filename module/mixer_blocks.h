// Vector kernels of the mixer for x86, built once per instruction set in their own
// translation units and picked at run time, so that the library itself assumes no more
// than the baseline of its target (i686 included).
#pragma once

#include "module.h"

// Positions and steps are 22.10 fixed point.
constexpr u32 mixer_fraction_bits = 10;

// Whole blocks of eight stereo frames of one voice, clear of every loop boundary.
struct stereo_blocks {
    const void* data;   // sample data: i8 or i16 per frame
    u32 length;         // frames of data, 1 or more
    u32 position;       // 22.10 fixed point: the first frame's read
    u32 step;           // 22.10 fixed point per output frame
    u32 count;          // blocks to mix; every read of them lies inside the data
    u32* accumulators;  // 16 per block, left and right interleaved
    u32 left_gain;      // 0..32767
    u32 right_gain;     // 0..32767
    bool is_16bit;      // else 8-bit data
    bool forward;       // else the position falls by `step` per frame
};

// Adds the blocks' products to their accumulators exactly as the scalar path would.
void mix_stereo_blocks_ssse3(const stereo_blocks& blocks);
void mix_stereo_blocks_avx2(const stereo_blocks& blocks);
