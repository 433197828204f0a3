#include "player_fixture.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr u32 sample_frames = 1000;

template <typename T>
T* allocate(size_t count) {
    return (T*)std::calloc(count, sizeof(T));
}

}  // namespace

test_song::test_song(i32 file_channels, std::vector<u32> rows_per_pattern, std::vector<u8> orders, i32 instrument_count,
                     empty_cells style) {
    context = allocate<module_context>(1);
    context->channel_count = file_channels + 1;
    context->order_count = (u32)orders.size();
    for (size_t i = 0; i < orders.size(); ++i) context->orders[i] = orders[i];
    context->global_volume = 64;
    context->initial_speed = 6;
    context->initial_tempo = 125;
    context->format_id = style == empty_cells::mod_style ? module_format_mod : module_format_xm;
    context->pattern_count = (i32)rows_per_pattern.size();
    context->patterns = allocate<module_pattern*>(rows_per_pattern.size());
    context->pattern_rows = allocate<u32>(rows_per_pattern.size());
    for (size_t p = 0; p < rows_per_pattern.size(); ++p) {
        size_t cells = (size_t)rows_per_pattern[p] * (size_t)context->channel_count;
        context->pattern_rows[p] = rows_per_pattern[p];
        context->patterns[p] = allocate<module_cell>(cells);
        for (size_t c = 0; c < cells; ++c) {
            module_cell& cell = context->patterns[p][c];
            if (style == empty_cells::mod_style) {
                std::memset(&cell, 255, sizeof cell);
            } else {
                cell.volume = 255;
                cell.note = 255;
            }
        }
    }
    context->instrument_count = instrument_count;
    context->sample_count = instrument_count;
    context->instruments = allocate<module_instrument>((size_t)instrument_count);
    context->samples = allocate<module_sample>((size_t)instrument_count);
    for (i32 i = 0; i < instrument_count; ++i) {
        module_sample& sample = context->samples[i];
        sample.length = sample_frames;
        sample.loop_start = 0;
        sample.loop_end = sample_frames;
        sample.looped = 1;
        sample.data = std::malloc(sample_frames);
        std::memset(sample.data, 64, sample_frames);
        sample.volume = 64;
        sample.default_c_rate = 8363;
        sample.c_rate = 8363;
        sample.panning = style == empty_cells::mod_style ? 255 : 32;
        module_instrument& instrument = context->instruments[i];
        i32 mapped = style == empty_cells::mod_style ? 256 : 0;
        for (i32 n = 0; n < 256; ++n) {
            instrument.note_map[n] = (u8)n;
            bool keymap_note = (n >> 4) < 8 && (n & 15) < 12;
            if (mapped == 256 || keymap_note) instrument.note_samples[n] = &sample;
        }
        instrument.fadeout = style == empty_cells::mod_style ? 32767 : 0;
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

test_song::~test_song() {
    // The song's envelope points belong to the fixture's vectors, not to the heap blocks
    // module_free releases.
    for (i32 i = 0; i < context->instrument_count; ++i) {
        context->instruments[i].volume_envelope.points = nullptr;
        context->instruments[i].panning_envelope.points = nullptr;
    }
    std::free(context->mix_buffer);
    context->mix_buffer = nullptr;
    module_free(context);
    std::free(context);
}

module_cell& test_song::cell(i32 pattern, i32 row, i32 column) {
    return context->patterns[pattern][(size_t)row * (size_t)context->channel_count + (size_t)column];
}

module_cell& test_song::global(i32 pattern, i32 row) { return cell(pattern, row, context->channel_count - 1); }

module_cell& test_song::note(i32 pattern, i32 row, i32 column, u8 packed_note, u32 instrument, u8 volume) {
    module_cell& target = cell(pattern, row, column);
    target.note = packed_note;
    target.instrument = instrument;
    target.volume = volume;
    return target;
}

module_cell& test_song::effect(i32 pattern, i32 row, i32 column, u16 code, u8 param, i32 slot) {
    module_cell& target = cell(pattern, row, column);
    target.effects[slot] = code;
    target.params[slot] = param;
    return target;
}

void test_song::set_envelope(module_envelope& envelope, std::vector<module_envelope_point> points, u8 sustain,
                             u8 loop_start, u8 loop_end) {
    envelope_points.push_back(std::move(points));
    std::vector<module_envelope_point>& stored = envelope_points.back();
    envelope.enabled = 1;
    envelope.point_count = (u8)stored.size();
    envelope.points = stored.data();
    envelope.sustain_point = sustain;
    envelope.loop_start = loop_start;
    envelope.loop_end = loop_end;
}

void test_song::start() {
    context->master_volume = 64;
    module_start(context);
    module_set_output_format(context);
}

std::vector<i16> test_song::render_bytes(i32 bytes) {
    std::vector<i16> out((size_t)bytes / 2, 0x5555);
    context->output_buffer = out.data();
    context->output_size = bytes;
    module_render(context);
    return out;
}

void test_song::run_ticks(i32 ticks) {
    for (i32 t = 0; t < ticks; ++t) render_bytes((context->samples_per_tick - context->tick_position) * 4);
}

void test_song::next_row() { run_ticks(context->speed + context->pattern_delay - context->tick); }
