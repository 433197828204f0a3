// Amiga Pro/Soundtracker MOD: 15 or 31 samples, 2 to 32 channels, notes
// stored as Amiga periods. The format has no reliable magic (old files have
// no signature at all), so recognition is a complete trial load.
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "finetune.h"
#include "loader.h"
#include "mod_periods.h"
#include "reader.h"

namespace {

using i64 = int64_t;  // offsets and sizes computed from header fields

constexpr size_t signature_offset = 1080;
// End of the 31-sample header. The pattern-count and sample-placement
// arithmetic uses it for 15-sample files too; for those files it never
// matches exactly, so they take their pattern count from the order list and
// their samples from the end of the file, which is where they are.
constexpr i64 full_header_size = 1084;
constexpr size_t short_header_pattern_start = 600;
constexpr u32 rows_per_pattern = 64;
constexpr i64 bytes_per_row_channel = 4;
constexpr size_t order_list_size = 128;
constexpr size_t title_length = 20;
constexpr size_t name_length = 22;
constexpr u8 pan_left = 86;
constexpr u8 pan_right = 167;
constexpr u8 max_volume = 64;

struct signature {
    char text[5];
    i32 channels;
};

const signature signatures[] = {
    {"M.K.", 4},  {"FLT4", 4},  {"2CHN", 2},  {"6CHN", 6},  {"8CHN", 8},  {"10CH", 10},
    {"12CH", 12}, {"14CH", 14}, {"16CH", 16}, {"18CH", 18}, {"20CH", 20}, {"22CH", 22},
    {"24CH", 24}, {"26CH", 26}, {"28CH", 28}, {"30CH", 30}, {"32CH", 32},
};

struct period_note {
    u16 period;
    u8 note;  // octave * 16 + semitone
};

// Periods that some trackers wrote for notes of mod_octave_periods.
constexpr period_note alternative_periods[] = {
    {75, 0x66}, {1140, 0x27}, {1280, 0x25}, {1524, 0x22}, {1356, 0x24}, {1016, 0x29}, {692, 0x34},
};

constexpr size_t period_limit = 4096;  // a cell holds 12 bits of period

// Note of every 12-bit period, module_note_none where the table has none.
// Entries are applied in table order so that a later entry of the same
// period wins (period 15 appears twice and means 0x8A). Most of octaves 0
// and 1 lie above 12 bits and so can never be written in a cell.
constexpr std::array<u8, period_limit> build_note_by_period() {
    std::array<u8, period_limit> notes{};
    for (u8& note : notes) note = module_note_none;
    for (int octave = 0; octave < 9; ++octave) {
        for (int semitone = 0; semitone < 12; ++semitone) {
            const u16 period = mod_octave_periods[octave][semitone];
            if (period < period_limit) notes[period] = static_cast<u8>(octave * 16 + semitone);
        }
    }
    for (const period_note& entry : alternative_periods) notes[entry.period] = entry.note;
    return notes;
}

constexpr std::array<u8, period_limit> note_by_period = build_note_by_period();
static_assert(note_by_period[428] == 0x40 && note_by_period[15] == 0x8A && note_by_period[75] == 0x66);

// Channel count of a known signature; 0 for anything else.
i32 signature_channels(const byte_reader& file) {
    for (const signature& entry : signatures) {
        if (file.matches(signature_offset, entry.text, 4)) return entry.channels;
    }
    return 0;
}

// Where the parts of the file lie, as the header and the file size tell.
struct mod_layout {
    i32 channels;       // file channels, 2..32
    i32 header_count;   // sample headers: 31, or 15 without a signature
    i64 sample_bytes;   // the lengths of all samples together
    i64 pattern_bytes;  // one pattern: 64 rows of 4 bytes per channel
    i32 pattern_count;  // patterns the file holds
    i64 pattern_end;    // offset after the last pattern
};

// A header finetune nibble holds 0..7 for the finetunes 0..7 and 8..15 for -8..-1.
i32 header_finetune(u8 nibble) { return nibble < 8 ? nibble : nibble - 16; }

void read_sample_header(byte_reader& file, module_sample& sample, module_instrument& instrument) {
    file.bytes(sample.name, name_length);
    sample.name[name_length] = 0;
    sample.length = static_cast<u32>(file.u16be()) * 2;
    // Trackers keep finetune in the low nibble; the high bits carry nothing.
    sample.default_c_rate = eighth_finetune_rate(header_finetune(file.u8le() & 0x0f));
    sample.volume = file.u8le();
    sample.loop_start = static_cast<u32>(file.u16be()) * 2;
    u32 loop_length = static_cast<u32>(file.u16be()) * 2;
    sample.loop_end = sample.loop_start + loop_length;
    sample.looped = loop_length > 2 ? 1 : 0;
    sample.panning = 255;
    fit_loop(sample);

    std::memcpy(instrument.name, sample.name, sizeof instrument.name);
    play_on_every_note(instrument, sample);
    set_identity_note_map(instrument);
    instrument.fadeout = mod_s3m_fadeout;
}

// Title, sample headers and order list: everything before the patterns.
i32 load_header(byte_reader& file, module_context* context, mod_layout& layout) {
    layout.channels = signature_channels(file);
    layout.header_count = layout.channels ? 31 : 15;
    if (!layout.channels) layout.channels = 4;
    context->channel_count = layout.channels + 1;

    std::memset(context->title, 0, sizeof context->title);
    file.bytes(context->title, title_length);
    if (allocate_instruments(context, layout.header_count, layout.header_count)) return -2;
    layout.sample_bytes = 0;
    for (i32 i = 0; i < layout.header_count; ++i) {
        read_sample_header(file, context->samples[i], context->instruments[i]);
        layout.sample_bytes += context->samples[i].length;
    }

    // The list holds 128 entries; a longer song length would play entries the file never stored.
    const u8 song_length = file.u8le();
    context->order_count = song_length < order_list_size ? song_length : order_list_size;
    file.skip(1);  // restart byte: old trackers stored 127 here, and nothing relies on it
    file.bytes(context->orders, order_list_size);
    return file.failed() ? -1 : 0;
}

// Command number -> internal code for the commands that take their parameter
// unchanged; fx_count marks those translated on their own (0, B, C, D, E).
constexpr u16 command_codes[16] = {
    fx_count,                    // 0 arpeggio, or nothing
    fx_porta_up,                 // 1
    fx_porta_down,               // 2
    fx_tone_porta,               // 3
    fx_vibrato,                  // 4
    fx_tone_porta_volume_slide,  // 5
    fx_vibrato_volume_slide,     // 6
    fx_tremolo,                  // 7
    fx_none,                     // 8
    fx_sample_offset,            // 9
    fx_volume_slide,             // A
    fx_count,                    // B position jump
    fx_count,                    // C set volume
    fx_count,                    // D pattern break
    fx_count,                    // E extended
    fx_speed_tempo,              // F
};

// Writes a row command into the global column. A pattern break that follows a
// position jump in the same row joins it as one jump-and-break command.
void translate_effect(u8 command, u8 param, module_cell& cell, module_cell& global) {
    const u16 code = command_codes[command];
    if (code != fx_count) {
        set_slot(cell, 0, code, param);
        return;
    }
    switch (command) {
        case 0x0:
            set_slot(cell, 0, param ? fx_arpeggio : fx_none, param);
            break;
        case 0xB:
            set_slot(cell, 0, fx_none, 0);
            set_slot(global, 0, fx_position_jump, param);
            break;
        case 0xC:
            cell.volume = param > max_volume ? max_volume : param;
            set_slot(cell, 0, fx_none, cell.volume);
            break;
        case 0xD: {
            set_slot(cell, 0, fx_none, 0);
            u8 row = static_cast<u8>((param >> 4) * 10 + (param & 0x0f));
            if (row >= rows_per_pattern) row = 0;
            if (global.effects[0] == fx_position_jump) {
                global.effects[0] = fx_jump_and_break;
                global.params[1] = row;
            } else {
                set_slot(global, 0, fx_pattern_break, row);
            }
            break;
        }
        default:
            translate_extended_command(param, cell, 0, global);
            break;
    }
}

// Decodes one 4-byte cell; returns 1 when its period is not in the table.
i32 decode_cell(byte_reader& file, module_cell& cell, module_cell& global) {
    const u8 b0 = file.u8le();
    const u8 b1 = file.u8le();
    const u8 b2 = file.u8le();
    const u8 b3 = file.u8le();
    const u16 period = static_cast<u16>((b0 & 0x0f) << 8 | b1);
    cell.instrument = (b0 & 0xf0) | (b2 >> 4);
    cell.volume = module_no_volume;
    cell.note = module_note_none;
    i32 missing = 0;
    if (period) {
        cell.note = note_by_period[period];
        if (cell.note == module_note_none) {
            std::fprintf(stderr, "Note not found: %x\n", period);
            missing = 1;
        }
    }
    translate_effect(b2 & 0x0f, b3, cell, global);
    return missing;
}

// Patterns the file holds: when the bytes between the header and the sample
// data are a whole number of patterns, that number; otherwise the order list
// decides. A negative remainder (sample lengths that add up to more than the
// file) can describe no patterns at all, so the order list decides then too.
i32 count_patterns(i64 size, i64 sample_bytes, i64 pattern_bytes, const module_context* context) {
    const i64 rest = size - sample_bytes - full_header_size;
    if (rest >= 0 && rest % pattern_bytes == 0) return static_cast<i32>(rest / pattern_bytes);
    i32 highest = 0;
    for (u32 i = 0; i < context->order_count; ++i) {
        if (context->orders[i] > highest) highest = context->orders[i];
    }
    return highest + 1;
}

// The patterns after the header; leaves `file` after the last one. Returns 1
// when a period is not in the table.
i32 load_patterns(byte_reader& file, mod_layout& layout, module_context* context) {
    layout.pattern_bytes = rows_per_pattern * bytes_per_row_channel * layout.channels;
    layout.pattern_count =
        count_patterns(static_cast<i64>(file.size()), layout.sample_bytes, layout.pattern_bytes, context);
    const i64 pattern_start = layout.header_count == 31 ? full_header_size : short_header_pattern_start;
    layout.pattern_end = pattern_start + layout.pattern_bytes * layout.pattern_count;
    // Patterns that the file does not hold cannot be played: checked before
    // anything is allocated for them.
    if (!file.holds(pattern_start, layout.pattern_end - pattern_start)) return -1;
    if (allocate_pattern_arrays(context, layout.pattern_count)) return -2;

    i32 result = 0;
    const i32 global_column = layout.channels;
    file.seek(pattern_start);
    for (i32 p = 0; p < layout.pattern_count; ++p) {
        module_cell* pattern = allocate_pattern(context, p, rows_per_pattern, mod_s3m_empty_cell);
        if (!pattern) return -2;
        for (u32 row = 0; row < rows_per_pattern; ++row) {
            module_cell* row_cells = pattern + static_cast<size_t>(row) * context->channel_count;
            for (i32 channel = 0; channel < layout.channels; ++channel) {
                if (decode_cell(file, row_cells[channel], row_cells[global_column])) result = 1;
            }
        }
    }
    return file.failed() ? -1 : result;
}

// Sample data follows the patterns when the file size says so exactly, and is
// otherwise taken from the end of the file. It never starts inside the
// patterns: a file whose samples add up to more than what follows the
// patterns has been cut short, and its samples are read from the end of the
// patterns as far as the data goes.
i64 sample_data_offset(i64 size, const mod_layout& layout) {
    if (size == layout.pattern_bytes * layout.pattern_count + full_header_size + layout.sample_bytes)
        return layout.pattern_end;
    const i64 from_end = size - layout.sample_bytes;
    return from_end < layout.pattern_end ? layout.pattern_end : from_end;
}

// Copies the frames present; a sample cut off by the end of the file keeps what is there.
i32 read_sample_data(byte_reader& file, module_sample& sample) {
    const size_t available = file.remaining() < sample.length ? file.remaining() : sample.length;
    sample.length = static_cast<u32>(available);
    fit_loop(sample);
    if (!available) return 0;
    sample.data = std::malloc(available);
    if (!sample.data) return -2;
    file.copy_available(sample.data, available);
    return 0;
}

i32 load_samples(byte_reader& file, const mod_layout& layout, module_context* context) {
    file.seek(static_cast<uint64_t>(sample_data_offset(static_cast<i64>(file.size()), layout)));
    for (i32 i = 0; i < layout.header_count; ++i) {
        if (read_sample_data(file, context->samples[i]) < 0) return -2;
    }
    return 0;
}

}  // namespace

i32 mod_load(const u8* data, i32 size, module_context* context) {
    if (!data || !context || size < 0 || context->loaded) return -1;
    byte_reader file(data, static_cast<size_t>(size));
    mod_layout layout;
    if (i32 result = load_header(file, context, layout)) return fail_load(context, result);
    const i32 patterns = load_patterns(file, layout, context);
    if (patterns < 0) return fail_load(context, patterns);
    if (i32 result = load_samples(file, layout, context)) return fail_load(context, result);

    for (i32 column = 0; column < context->channel_count; ++column) {
        context->channels[column].enabled = 1;
        context->channels[column].default_pan = (column % 4 == 1 || column % 4 == 2) ? pan_left : pan_right;
    }
    context->initial_speed = 6;
    context->initial_tempo = 125;
    context->global_volume = 64;
    context->format_id = module_format_mod;
    return patterns;
}

u32 mod_probe(const u8* data, i32 size) {
    if (!data || size < static_cast<i32>(signature_offset)) return 0;
    module_context scratch;
    std::memset(&scratch, 0, sizeof scratch);
    const i32 result = mod_load(data, size, &scratch);
    if (result < 0) return 0;
    scratch.loaded = 1;
    module_free(&scratch);
    return result == 0 ? 1 : 0;
}
