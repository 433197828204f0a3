// Small songs built directly as module_context records, for the player tests.
#pragma once

#include <cstdint>
#include <vector>

#include "module.h"

// Empty cells as the MOD and S3M loaders leave them (all bytes 255) or as the
// XM loader does (instrument 0, effects 0).
enum class empty_cells { mod_style, xm_style };

struct test_song {
    // `file_channels` playing columns plus the global column; every pattern has
    // the given rows. Instrument i (1-based) plays sample i - 1: 8-bit, constant
    // value 64, 1000 frames looped over the whole length, volume 64, c_rate 8363.
    // MOD style maps all 256 notes of an instrument; XM style only notes 0..95
    // (octaves 0 to 7, semitones 0 to 11).
    test_song(i32 file_channels, std::vector<u32> rows_per_pattern, std::vector<u8> orders, i32 instrument_count = 1,
              empty_cells style = empty_cells::mod_style);
    ~test_song();
    test_song(const test_song&) = delete;
    test_song& operator=(const test_song&) = delete;

    module_cell& cell(i32 pattern, i32 row, i32 column);
    module_cell& global(i32 pattern, i32 row);  // the global column
    // Writes a note (and instrument, volume column) into a cell.
    module_cell& note(i32 pattern, i32 row, i32 column, u8 packed_note, u32 instrument = 0, u8 volume = 255);
    // Writes an effect into slot 0 (or `slot`) of a cell.
    module_cell& effect(i32 pattern, i32 row, i32 column, u16 code, u8 param, i32 slot = 0);

    module_sample& sample(i32 index) { return context->samples[index]; }
    module_instrument& instrument(i32 number) { return context->instruments[number - 1]; }
    module_channel& channel(i32 index) { return context->channels[index]; }
    effect_slot& slot(i32 channel_index, i32 slot_index = 0) {
        return context->channels[channel_index].slots[slot_index];
    }

    // Master volume 64, start, output format: as the module input does it.
    void start();
    // Renders `bytes` bytes through module_render and returns them as 16-bit samples.
    std::vector<i16> render_bytes(i32 bytes);
    // Renders whole ticks, one render call per tick, so that the per-tick state can be
    // looked at between ticks; after the call the last tick's passes have run.
    void run_ticks(i32 ticks);
    // From a fresh start: runs the silent lead-in, so that row 0 has been read and
    // the per-tick pass of its tick 0 has run.
    void enter_first_row() { run_ticks(context->speed); }
    // Runs the remaining ticks of the current row; afterwards the next row has been read.
    void next_row();

    // Enables an envelope whose points live in this fixture.
    void set_envelope(module_envelope& envelope, std::vector<module_envelope_point> points, u8 sustain = 255,
                      u8 loop_start = 255, u8 loop_end = 255);

    module_context* context;
    std::vector<std::vector<module_envelope_point>> envelope_points;
};

// Packed note: octave * 16 + semitone.
constexpr u8 packed(u8 octave, u8 semitone) { return (u8)(octave * 16 + semitone); }
