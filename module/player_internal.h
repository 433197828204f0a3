// Shared by the sequencer, the effects and the mixer; not part of the library's public face.
#pragma once

#include "module.h"

// Output flags of a mixing run.
enum : u32 {
    output_flag_base = 1,
    output_flag_stereo = 8,
    output_flag_16bit = 64,
    output_flag_signed = 128,
};

// Period of a packed note (octave * 16 + semitone) for a sample of the given
// middle-C rate and finetune, in the song's period units (Amiga or linear).
u32 note_period(const module_context *context, u8 note, u32 rate, i8 finetune);

// Packs an octave and semitone into a note byte. Semitones above 11 (an arpeggio step)
// and octave 16 are kept as the same pitch where a byte can name it, else the highest one.
u8 pack_note(u32 octave, u32 semitone);

// Sets the channel's period from a packed note, then its step from period + period_offset.
void note_to_period(module_context *context, module_channel *channel, u8 note, u32 rate, i8 finetune);

// Position increment per output frame (22.10 fixed point) for a period at output_rate.
u32 period_to_step(const module_context *context, u32 period);

// Mixes `frames` frames (at most one tick) of every sounding channel and writes
// them to `output` in the format the flags give. Returns the frames written.
i32 mix_run(module_context *context, u32 flags, void *output, i32 frames);

// Frames of one tick at the slowest tempo (32): the mix buffer's length.
inline i32 mix_buffer_frames(i32 output_rate) { return output_rate * 5 / 64; }
