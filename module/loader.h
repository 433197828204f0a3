// The steps the format loaders share; not part of the library's public face.
// Each loader reads its file only through byte_reader (reader.h) and builds
// the song's blocks only through these helpers.
#pragma once

#include "module.h"

// Releases every song block of the context exactly as module_free does, but
// without looking at `loaded`: a loader that fails half-way calls it so that
// the record is left empty with all four array pointers null. The channel
// records start over as in a zeroed record.
void module_release_song(module_context* context);

// Ends a failed load: releases whatever it allocated and passes its result on.
i32 fail_load(module_context* context, i32 result);

// A cell that the file leaves empty. MOD and S3M pattern blocks are filled with
// the byte 255 throughout; XM cells are cleared to no instrument, no note, no
// volume and no effect. The player reads both as "nothing".
constexpr module_cell mod_s3m_empty_cell = {0xFFFFFFFFu, 0xFF, 0xFF, {0xFFFF, 0xFFFF}, {0xFF, 0xFF}};
constexpr module_cell xm_empty_cell = {
    module_no_instrument, module_no_volume, module_note_none, {fx_none, fx_none}, {0, 0}};

// Allocates `instrument_count` instruments and `sample_count` samples, zeroed,
// and records the counts. Every array gets at least one entry, so that a song
// without instruments still has its blocks. 0, or -2 when an allocation fails.
i32 allocate_instruments(module_context* context, i32 instrument_count, i32 sample_count);

// Allocates the pattern arrays for `pattern_count` patterns (at least one entry
// each, as above) and records the count. 0 or -2.
i32 allocate_pattern_arrays(module_context* context, i32 pattern_count);

// Allocates pattern `index` with `rows` rows of channel_count cells, each
// `empty`; null when the allocation fails.
module_cell* allocate_pattern(module_context* context, i32 index, u32 rows, const module_cell& empty);

// The identity note map that every loaded instrument starts from.
void set_identity_note_map(module_instrument& instrument);

// MOD and S3M instruments play one sample on every note and never fade.
constexpr u16 mod_s3m_fadeout = 32767;
void play_on_every_note(module_instrument& instrument, module_sample& sample);

// Keeps a loop inside the sample's data: a loop that starts at or past the end
// of the data, or that does not end after its start, is dropped (ping-pong
// with it); one that runs past the end ends there. Without a loop both loop
// points sit on the last frame (all bits set for an empty sample), as the
// player expects.
void fit_loop(module_sample& sample);

inline void set_slot(module_cell& cell, int slot, u16 code, u8 param) {
    cell.effects[slot] = code;
    cell.params[slot] = param;
}

// The ProTracker extended command Exy that MOD and XM share, into `slot` of the
// cell: pattern loop and pattern delay go to the global column and leave the
// slot empty, E0x, E3x and EFx keep the whole parameter without an effect, and
// the others take y.
void translate_extended_command(u8 param, module_cell& cell, int slot, module_cell& global);
