// Small songs built directly as module_context records, for the player tests.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "module.h"

// Empty cells as the MOD and S3M loaders leave them (all bytes 255) or as the
// XM loader does (instrument 0, effects 0).
enum class empty_cells { mod_style, xm_style };

// Packed note: octave * 16 + semitone.
constexpr u8 packed(u8 octave, u8 semitone) { return (u8)(octave * 16 + semitone); }

struct test_song {
    static constexpr u32 sample_frames = 1000;

    // `file_channels` playing columns plus the global column; every pattern has
    // the given rows. Instrument i (1-based) plays sample i - 1: 8-bit, constant
    // value 64, 1000 frames looped over the whole length, volume 64, c_rate 8363.
    // MOD style maps all 256 notes of an instrument; XM style only notes 0..95.
    test_song(i32 file_channels, std::vector<u32> rows_per_pattern, std::vector<u8> orders, i32 instrument_count = 1,
              empty_cells style = empty_cells::mod_style) {
        const bool mod_style = style == empty_cells::mod_style;
        context = (module_context*)std::calloc(1, sizeof(module_context));
        context->channel_count = file_channels + 1;
        context->order_count = (u32)orders.size();
        std::copy(orders.begin(), orders.end(), context->orders);
        context->global_volume = 64;
        context->initial_speed = 6;
        context->initial_tempo = 125;
        context->format_id = mod_style ? module_format_mod : module_format_xm;
        context->pattern_count = (i32)rows_per_pattern.size();
        context->patterns = (module_pattern**)std::calloc(rows_per_pattern.size(), sizeof(module_pattern*));
        context->pattern_rows = (u32*)std::calloc(rows_per_pattern.size(), sizeof(u32));
        for (size_t p = 0; p < rows_per_pattern.size(); ++p) {
            size_t cells = (size_t)rows_per_pattern[p] * (size_t)context->channel_count;
            context->pattern_rows[p] = rows_per_pattern[p];
            context->patterns[p] = (module_cell*)std::calloc(cells, sizeof(module_cell));
            for (size_t c = 0; c < cells; ++c) {
                module_cell& cell = context->patterns[p][c];
                if (mod_style) std::memset(&cell, 255, sizeof cell);
                cell.volume = 255;
                cell.note = 255;
            }
        }
        context->instrument_count = instrument_count;
        context->sample_count = instrument_count;
        context->instruments = (module_instrument*)std::calloc((size_t)instrument_count, sizeof(module_instrument));
        context->samples = (module_sample*)std::calloc((size_t)instrument_count, sizeof(module_sample));
        for (i32 i = 0; i < instrument_count; ++i) {
            module_sample& sample = context->samples[i];
            sample.length = sample_frames;
            sample.loop_end = sample_frames;
            sample.looped = 1;
            sample.data = std::malloc(sample_frames);
            std::memset(sample.data, 64, sample_frames);
            sample.volume = 64;
            sample.default_c_rate = 8363;
            sample.c_rate = 8363;
            sample.panning = mod_style ? 255 : 32;
            module_instrument& instrument = context->instruments[i];
            for (i32 n = 0; n < 256; ++n) {
                instrument.note_map[n] = (u8)n;
                if (mod_style || ((n >> 4) < 8 && (n & 15) < 12)) instrument.note_samples[n] = &sample;
            }
            instrument.fadeout = mod_style ? 32767 : 0;
            instrument.volume_envelope.loop_start = instrument.volume_envelope.loop_end = 255;
            instrument.volume_envelope.sustain_point = 255;
            instrument.panning_envelope = instrument.volume_envelope;
        }
        for (i32 c = 0; c < context->channel_count; ++c) {
            context->channels[c].enabled = 1;
            context->channels[c].default_pan = 128;
        }
        context->loaded = 1;
    }
    ~test_song() {
        // The envelope points belong to this fixture, not to the heap blocks module_free releases.
        for (i32 i = 0; i < context->instrument_count; ++i) {
            context->instruments[i].volume_envelope.points = nullptr;
            context->instruments[i].panning_envelope.points = nullptr;
        }
        std::free(context->mix_buffer);
        context->mix_buffer = nullptr;
        module_free(context);
        std::free(context);
    }
    test_song(const test_song&) = delete;
    test_song& operator=(const test_song&) = delete;

    module_cell& cell(i32 pattern, i32 row, i32 column) {
        return context->patterns[pattern][(size_t)row * (size_t)context->channel_count + (size_t)column];
    }
    // Writes a note (and instrument, volume column) into a cell.
    module_cell& note(i32 pattern, i32 row, i32 column, u8 packed_note, u32 instrument = 0, u8 volume = 255) {
        module_cell& target = cell(pattern, row, column);
        target.note = packed_note;
        target.instrument = instrument;
        target.volume = volume;
        return target;
    }
    // Writes an effect into slot 0 (or `slot`) of a cell.
    module_cell& effect(i32 pattern, i32 row, i32 column, u16 code, u8 param, i32 slot = 0) {
        module_cell& target = cell(pattern, row, column);
        target.effects[slot] = code;
        target.params[slot] = param;
        return target;
    }

    module_sample& sample(i32 index) { return context->samples[index]; }
    module_instrument& instrument(i32 number) { return context->instruments[number - 1]; }
    module_channel& channel(i32 index) { return context->channels[index]; }
    effect_slot& slot(i32 channel_index, i32 slot_index = 0) {
        return context->channels[channel_index].slots[slot_index];
    }

    // Master volume 64, start, output format: as the module input does it.
    void start() {
        context->master_volume = 64;
        module_start(context);
        module_set_output_format(context);
    }
    // Renders `bytes` bytes through module_render and returns them as 16-bit samples.
    std::vector<i16> render_bytes(i32 bytes) {
        std::vector<i16> out((size_t)bytes / 2, 0x5555);
        context->output_buffer = out.data();
        context->output_size = bytes;
        module_render(context);
        return out;
    }
    // Renders whole ticks, one render call per tick, so that the per-tick state can be
    // looked at between ticks; after the call the last tick's passes have run.
    void run_ticks(i32 ticks) {
        for (i32 t = 0; t < ticks; ++t) render_bytes((context->samples_per_tick - context->tick_position) * 4);
    }
    // From a fresh start: runs the silent lead-in, so that row 0 has been read and
    // the per-tick pass of its tick 0 has run.
    void enter_first_row() { run_ticks(context->speed); }
    void start_at_first_row() {
        start();
        enter_first_row();
    }
    // Runs the remaining ticks of the current row; afterwards the next row has been read.
    void next_row() { run_ticks(context->speed + context->pattern_delay - context->tick); }

    // Enables an envelope whose points live in this fixture.
    void set_envelope(module_envelope& envelope, std::vector<module_envelope_point> points, u8 sustain = 255,
                      u8 loop_start = 255, u8 loop_end = 255) {
        const std::vector<module_envelope_point>& stored = envelope_points.emplace_back(std::move(points));
        envelope.enabled = 1;
        envelope.point_count = (u8)stored.size();
        envelope.points = const_cast<module_envelope_point*>(stored.data());
        envelope.sustain_point = sustain;
        envelope.loop_start = loop_start;
        envelope.loop_end = loop_end;
    }

    module_context* context;
    std::vector<std::vector<module_envelope_point>> envelope_points;
};
