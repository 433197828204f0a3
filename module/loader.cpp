#include "loader.h"

#include <cstdlib>
#include <cstring>

namespace {

// Calloc that gives a real block for zero entries too.
void* allocate_entries(i32 count, size_t size) { return std::calloc(count > 0 ? static_cast<size_t>(count) : 1, size); }

// Exx by x; fx_count marks the row commands that go to the global column.
constexpr u16 extended_codes[16] = {
    fx_none,     fx_fine_porta_up,    fx_fine_porta_down, fx_none,      fx_vibrato_waveform, fx_set_finetune,
    fx_count,    fx_tremolo_waveform, fx_coarse_pan,      fx_retrigger, fx_fine_volume_up,   fx_fine_volume_down,
    fx_note_cut, fx_note_delay,       fx_count,           fx_none,
};

}  // namespace

i32 fail_load(module_context* context, i32 result) {
    module_release_song(context);
    return result;
}

i32 allocate_instruments(module_context* context, i32 instrument_count, i32 sample_count) {
    context->instrument_count = instrument_count;
    context->sample_count = sample_count;
    context->instruments =
        static_cast<module_instrument*>(allocate_entries(instrument_count, sizeof(module_instrument)));
    context->samples = static_cast<module_sample*>(allocate_entries(sample_count, sizeof(module_sample)));
    return context->instruments && context->samples ? 0 : -2;
}

i32 allocate_pattern_arrays(module_context* context, i32 pattern_count) {
    context->pattern_count = pattern_count;
    context->patterns = static_cast<module_pattern**>(allocate_entries(pattern_count, sizeof(module_pattern*)));
    context->pattern_rows = static_cast<u32*>(allocate_entries(pattern_count, sizeof(u32)));
    return context->patterns && context->pattern_rows ? 0 : -2;
}

module_cell* allocate_pattern(module_context* context, i32 index, u32 rows, const module_cell& empty) {
    const size_t count = static_cast<size_t>(rows) * static_cast<size_t>(context->channel_count);
    module_cell* cells = static_cast<module_cell*>(std::malloc(count * sizeof(module_cell)));
    if (!cells) return nullptr;
    // One cell, then what is filled copied onto the rest, doubling each time: a
    // large block fills at the speed of memcpy.
    if (count) cells[0] = empty;
    for (size_t filled = 1; filled < count; filled *= 2)
        std::memcpy(cells + filled, cells, (count - filled < filled ? count - filled : filled) * sizeof(module_cell));
    context->patterns[index] = cells;
    context->pattern_rows[index] = rows;
    return cells;
}

void set_identity_note_map(module_instrument& instrument) {
    for (int note = 0; note < 256; ++note) instrument.note_map[note] = static_cast<u8>(note);
}

void play_on_every_note(module_instrument& instrument, module_sample& sample) {
    for (module_sample*& entry : instrument.note_samples) entry = &sample;
}

void fit_loop(module_sample& sample) {
    if (sample.looped && (sample.loop_start >= sample.length || sample.loop_end <= sample.loop_start))
        sample.looped = 0;
    if (!sample.looped) {
        sample.ping_pong = 0;
        sample.loop_start = sample.length - 1;
        sample.loop_end = sample.length - 1;
    } else if (sample.loop_end > sample.length) {
        sample.loop_end = sample.length;
    }
}

void translate_extended_command(u8 param, module_cell& cell, int slot, module_cell& global) {
    const u8 command = param >> 4, value = param & 0x0f;
    const u16 code = extended_codes[command];
    if (code == fx_count) {
        set_slot(global, 0, command == 0x6 ? fx_pattern_loop : fx_pattern_delay, value);
        set_slot(cell, slot, fx_none, 0);
    } else {
        set_slot(cell, slot, code, code == fx_none ? param : value);
    }
}
