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
u32 note_period(const module_context* context, u8 note, u32 rate, i8 finetune);

// Packs an octave and semitone into a note byte. Semitones above 11 (an arpeggio step)
// and octave 16 are kept as the same pitch where a byte can name it, else the highest one.
u8 pack_note(u32 octave, u32 semitone);

// Sets the channel's period from a packed note, then its step from period + period_offset.
void note_to_period(module_context* context, module_channel* channel, u8 note, u32 rate, i8 finetune);

// Position increment per output frame (22.10 fixed point) for a period at output_rate.
u32 period_to_step(const module_context* context, u32 period);

// Mixes `frames` frames (at most one tick) of every sounding channel and writes
// them to `output` in the format the flags give. Returns the frames written.
i32 mix_run(module_context* context, u32 flags, void* output, i32 frames);

// Moves every voice that a mixing run of `frames` frames would play exactly as that run
// moves it (position, direction, end of an unlooped sample), without any output.
void step_voices(module_context* context, i32 frames);

// Instruction sets the mixer's block kernels can use; every choice gives the same output.
enum class mixer_kernels : u32 { portable, ssse3, avx2 };

// The widest kernels this processor runs.
mixer_kernels best_mixer_kernels();

// mix_run with the given kernels, which the processor must support.
i32 mix_run_with(module_context* context, u32 flags, void* output, i32 frames, mixer_kernels kernels);

// Frames of one tick at the slowest tempo (32): the mix buffer's length.
inline i32 mix_buffer_frames(i32 output_rate) { return output_rate * 5 / 64; }

// Bits a row action returns to steer the rest of the row pass for its channel.
enum : u32 {
    row_no_trigger = 1,     // the cell's note and instrument do not start now (note delay)
    row_position_set = 2,   // order and row were set by the action: no row advance
    row_keep_position = 4,  // the note start must not move the sample position
    row_keep_period = 8,    // the note only becomes the tone-portamento target
    row_keep_pan = 16,      // panning set by the effect survives the note start
    row_keep_volume = 32,   // volume set by the effect survives the note start
};

// Actions of one internal effect code; any of them may be null.
struct effect_actions {
    u32 (*row)(module_context* context, i32 channel, i32 slot, const module_cell* cell);
    void (*tick)(module_context* context, i32 channel, i32 slot);
    void (*end)(module_context* context, i32 channel, i32 slot);
};

// Indexed by internal effect code; codes >= fx_count have no entry.
extern const effect_actions effect_table[fx_count];

// Restarts an envelope from its first point (running and held cleared).
void envelope_reset(envelope_state* state);
// Advances an envelope by one tick; false when it produces no value.
// The value is then in current_value.
bool envelope_advance(envelope_state* state);

// The note's octave * 12 + semitone moved by a sample's relative note (modulo 256)
// and packed again as octave (4 bits) * 16 + semitone.
u8 relative_note_packed(u8 note, i8 relative_note);

// Starts a note and/or instrument on a channel as a pattern cell does; true when
// something was started. Instrument 0 and note/volume 255 mean none.
bool start_note(module_context* context, i32 channel, u8 note, u8 instrument_number, u8 volume);

// Moves `order` to the next order entry that names a playable pattern, wrapping
// at order_count; leaves it at 0 when there is none.
void advance_order(module_context* context);

// Recomputes samples_per_tick from tempo and output_rate (tempo must be >= 32).
void update_samples_per_tick(module_context* context);

// Step from period + period_offset after a pitch change.
void repitch(module_context* context, module_channel* channel);

// Columns the row pass reads: channel_count kept to 0..module_max_channels.
i32 used_channel_count(const module_context* context);

// The cells of the row the next row pass reads, after moving an unplayable
// position (start on a marker, a jump onto a marker or past the order list, a
// row beyond the pattern) to a playable one. Null when the song has no
// playable order entry at all; the row pass then reads nothing.
const module_cell* current_row(module_context* context);

// The row advance at the end of a row pass that no row action moved: the next row,
// or row 0 of the next playable order entry. True when it moved to another entry.
bool advance_row(module_context* context);

// Playback state as module_start sets it, without touching the mix buffer.
void reset_playback(module_context* context);

// Whether module_render can mix: output format, mix buffer and tick length are set.
bool render_ready(const module_context* context);

// Advances the song by `frames` output frames exactly as module_render would, with the
// voices stepped by the mixer's own rules but nothing mixed or written. Needs render_ready.
void play_silently(module_context* context, i32 frames);
