// Amiga Pro/Soundtracker MOD: 15 or 31 samples, 2 to 32 channels, notes
// stored as Amiga periods. The format has no reliable magic (old files have
// no signature at all), so recognition is a complete trial load.
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "loader.h"
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
constexpr u8 no_volume = 255;
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

// Middle-C rate per finetune header nibble: 0..7 tune up, 8..15 are -8..-1.
const u32 finetune_rates[16] = {
    8363, 8413, 8463, 8529, 8581, 8651, 8723, 8757, 7895, 7941, 7985, 8046, 8107, 8169, 8232, 8280,
};

struct period_note {
    u16 period;
    u8 note;  // octave * 16 + semitone
};

constexpr u16 octave_periods[9][12] = {
    {6848, 6464, 6096, 5760, 5424, 5120, 4832, 4560, 4304, 4064, 3840, 3628},
    {3424, 3232, 3048, 2880, 2712, 2560, 2416, 2280, 2152, 2032, 1920, 1814},
    {1712, 1616, 1525, 1440, 1359, 1283, 1211, 1143, 1078, 1018, 961, 902},
    {856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453},
    {428, 404, 381, 360, 339, 320, 302, 285, 269, 254, 240, 226},
    {214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120, 113},
    {107, 101, 95, 90, 85, 80, 76, 71, 67, 63, 60, 57},
    {53, 50, 47, 45, 42, 40, 37, 35, 33, 31, 30, 28},
    {26, 25, 23, 22, 21, 20, 18, 17, 16, 15, 15, 14},
};

// Periods that some trackers wrote for notes of the table above.
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
            const u16 period = octave_periods[octave][semitone];
            if (period < period_limit) notes[period] = static_cast<u8>(octave * 16 + semitone);
        }
    }
    for (const period_note& entry : alternative_periods) notes[entry.period] = entry.note;
    return notes;
}

constexpr std::array<u8, period_limit> note_by_period = build_note_by_period();
static_assert(note_by_period[428] == 0x40 && note_by_period[15] == 0x8A && note_by_period[75] == 0x66);

u16 read_u16be(byte_reader& reader) {
    u16 high = reader.u8le();
    return static_cast<u16>((high << 8) | reader.u8le());
}

i32 fail(module_context* context, i32 result) {
    module_release_song(context);
    return result;
}

// Channel count of a known signature; 0 for anything else.
i32 signature_channels(const byte_reader& reader) {
    for (const signature& entry : signatures) {
        if (reader.matches(signature_offset, entry.text, 4)) return entry.channels;
    }
    return 0;
}

// Without a loop both loop points sit on the last frame. A loop that begins
// at or past the end of the data is dropped and one that runs past it is
// cut short, so that the player never has to loop over frames that are not
// there (headers that overshoot and files that end early both do this).
void fit_loop_to_length(module_sample& sample) {
    if (sample.looped && sample.loop_start >= sample.length) sample.looped = 0;
    if (!sample.looped) {
        sample.loop_start = sample.length - 1;
        sample.loop_end = sample.length - 1;
    } else if (sample.loop_end > sample.length) {
        sample.loop_end = sample.length;
    }
}

void read_sample_header(byte_reader& reader, module_sample& sample, module_instrument& instrument) {
    reader.bytes(sample.name, 22);
    sample.name[22] = 0;
    sample.length = static_cast<u32>(read_u16be(reader)) * 2;
    // Trackers keep finetune in the low nibble; the high bits carry nothing.
    sample.default_c_rate = finetune_rates[reader.u8le() & 0x0f];
    sample.volume = reader.u8le();
    sample.loop_start = static_cast<u32>(read_u16be(reader)) * 2;
    u32 loop_length = static_cast<u32>(read_u16be(reader)) * 2;
    sample.loop_end = sample.loop_start + loop_length;
    sample.looped = loop_length > 2 ? 1 : 0;
    sample.panning = 255;
    fit_loop_to_length(sample);

    std::memcpy(instrument.name, sample.name, sizeof instrument.name);
    for (module_sample*& entry : instrument.note_samples) entry = &sample;
    for (int note = 0; note < 256; ++note) instrument.note_map[note] = static_cast<u8>(note);
    instrument.fadeout = 32767;
}

// Writes a row command into the global column. A pattern break that follows a
// position jump in the same row joins it as one jump-and-break command.
void translate_effect(u8 command, u8 param, module_cell& cell, module_cell& global) {
    const u8 x = param >> 4;
    const u8 y = param & 0x0f;
    u16 code = fx_none;
    u8 cell_param = param;
    switch (command) {
        case 0x0:
            code = param ? fx_arpeggio : fx_none;
            break;
        case 0x1:
            code = fx_porta_up;
            break;
        case 0x2:
            code = fx_porta_down;
            break;
        case 0x3:
            code = fx_tone_porta;
            break;
        case 0x4:
            code = fx_vibrato;
            break;
        case 0x5:
            code = fx_tone_porta_volume_slide;
            break;
        case 0x6:
            code = fx_vibrato_volume_slide;
            break;
        case 0x7:
            code = fx_tremolo;
            break;
        case 0x8:
            break;
        case 0x9:
            code = fx_sample_offset;
            break;
        case 0xA:
            code = fx_volume_slide;
            break;
        case 0xB:
            cell_param = 0;
            global.effects[0] = fx_position_jump;
            global.params[0] = param;
            break;
        case 0xC:
            cell_param = param > max_volume ? max_volume : param;
            cell.volume = cell_param;
            break;
        case 0xD: {
            cell_param = 0;
            u8 row = static_cast<u8>(x * 10 + y);
            if (row >= rows_per_pattern) row = 0;
            if (global.effects[0] == fx_position_jump) {
                global.effects[0] = fx_jump_and_break;
                global.params[1] = row;
            } else {
                global.effects[0] = fx_pattern_break;
                global.params[0] = row;
            }
            break;
        }
        case 0xE:
            cell_param = y;
            switch (x) {
                case 0x1:
                    code = fx_fine_porta_up;
                    break;
                case 0x2:
                    code = fx_fine_porta_down;
                    break;
                case 0x4:
                    code = fx_vibrato_waveform;
                    break;
                case 0x5:
                    code = fx_set_finetune;
                    break;
                case 0x6:
                    cell_param = 0;
                    global.effects[0] = fx_pattern_loop;
                    global.params[0] = y;
                    break;
                case 0x7:
                    code = fx_tremolo_waveform;
                    break;
                case 0x8:
                    code = fx_coarse_pan;
                    break;
                case 0x9:
                    code = fx_retrigger;
                    break;
                case 0xA:
                    code = fx_fine_volume_up;
                    break;
                case 0xB:
                    code = fx_fine_volume_down;
                    break;
                case 0xC:
                    code = fx_note_cut;
                    break;
                case 0xD:
                    code = fx_note_delay;
                    break;
                case 0xE:
                    cell_param = 0;
                    global.effects[0] = fx_pattern_delay;
                    global.params[0] = y;
                    break;
                default:
                    cell_param = param;
                    break;  // E0x, E3x, EFx: no translation
            }
            break;
        case 0xF:
            code = fx_speed_tempo;
            break;
    }
    cell.effects[0] = code;
    cell.params[0] = cell_param;
}

// Decodes one 4-byte cell; returns 1 when its period is not in the table.
i32 decode_cell(byte_reader& reader, module_cell& cell, module_cell& global) {
    const u8 b0 = reader.u8le();
    const u8 b1 = reader.u8le();
    const u8 b2 = reader.u8le();
    const u8 b3 = reader.u8le();
    const u16 period = static_cast<u16>((b0 & 0x0f) << 8 | b1);
    cell.instrument = (b0 & 0xf0) | (b2 >> 4);
    cell.volume = no_volume;
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

// Sample data follows the patterns when the file size says so exactly, and is
// otherwise taken from the end of the file. It never starts inside the
// patterns: a file whose samples add up to more than what follows the
// patterns has been cut short, and its samples are read from the end of the
// patterns as far as the data goes.
i64 sample_data_offset(i64 size, i64 sample_bytes, i64 pattern_bytes, i32 pattern_count, i64 pattern_end) {
    if (size == pattern_bytes * pattern_count + full_header_size + sample_bytes) return pattern_end;
    const i64 from_end = size - sample_bytes;
    return from_end < pattern_end ? pattern_end : from_end;
}

// Copies the frames present; a sample cut off by the end of the file keeps what is there.
i32 read_sample_data(byte_reader& reader, module_sample& sample) {
    const size_t available = reader.remaining() < sample.length ? reader.remaining() : sample.length;
    sample.length = static_cast<u32>(available);
    fit_loop_to_length(sample);
    if (!available) return 0;
    sample.data = std::malloc(available);
    if (!sample.data) return -2;
    reader.copy_available(sample.data, available);
    return 0;
}

}  // namespace

i32 mod_load(const u8* data, i32 size, module_context* context) {
    if (!data || !context || size < 0 || context->loaded) return -1;
    byte_reader reader(data, static_cast<size_t>(size));

    i32 channels = signature_channels(reader);
    const i32 header_count = channels ? 31 : 15;
    if (!channels) channels = 4;
    context->channel_count = channels + 1;
    context->instrument_count = header_count;
    context->sample_count = header_count;

    std::memset(context->title, 0, sizeof context->title);
    reader.bytes(context->title, 20);
    context->instruments = static_cast<module_instrument*>(std::calloc(header_count, sizeof(module_instrument)));
    context->samples = static_cast<module_sample*>(std::calloc(header_count, sizeof(module_sample)));
    if (!context->instruments || !context->samples) return fail(context, -2);

    i64 sample_bytes = 0;
    for (i32 i = 0; i < header_count; ++i) {
        read_sample_header(reader, context->samples[i], context->instruments[i]);
        sample_bytes += context->samples[i].length;
    }

    // The list holds 128 entries; a longer song length would play entries the file never stored.
    const u8 song_length = reader.u8le();
    context->order_count = song_length < order_list_size ? song_length : order_list_size;
    reader.skip(1);  // restart byte: old trackers stored 127 here, and nothing relies on it
    reader.bytes(context->orders, order_list_size);
    if (reader.failed) return fail(context, -1);

    const i64 pattern_bytes = rows_per_pattern * bytes_per_row_channel * channels;
    const i64 pattern_start = header_count == 31 ? full_header_size : short_header_pattern_start;
    const i32 pattern_count = count_patterns(size, sample_bytes, pattern_bytes, context);
    const i64 pattern_end = pattern_start + pattern_bytes * pattern_count;
    // Patterns that the file does not hold cannot be played: checked before
    // anything is allocated for them.
    if (pattern_end > size) return fail(context, -1);

    // A file of header and samples alone holds no pattern; the arrays still get
    // one spare entry so that a loaded song always has its blocks.
    context->pattern_count = pattern_count;
    context->patterns =
        static_cast<module_pattern**>(std::calloc(pattern_count ? pattern_count : 1, sizeof(module_pattern*)));
    context->pattern_rows = static_cast<u32*>(std::calloc(pattern_count ? pattern_count : 1, sizeof(u32)));
    if (!context->patterns || !context->pattern_rows) return fail(context, -2);

    i32 result = 0;
    const i32 global_column = channels;
    reader.seek(static_cast<size_t>(pattern_start));
    for (i32 p = 0; p < pattern_count; ++p) {
        const size_t cells = static_cast<size_t>(rows_per_pattern) * context->channel_count;
        module_cell* pattern = static_cast<module_cell*>(std::malloc(cells * sizeof(module_cell)));
        if (!pattern) return fail(context, -2);
        std::memset(pattern, 0xff, cells * sizeof(module_cell));
        context->patterns[p] = pattern;
        context->pattern_rows[p] = rows_per_pattern;
        for (u32 row = 0; row < rows_per_pattern; ++row) {
            module_cell* row_cells = pattern + static_cast<size_t>(row) * context->channel_count;
            for (i32 channel = 0; channel < channels; ++channel) {
                if (decode_cell(reader, row_cells[channel], row_cells[global_column])) result = 1;
            }
        }
    }
    if (reader.failed) return fail(context, -1);

    reader.seek(static_cast<size_t>(sample_data_offset(size, sample_bytes, pattern_bytes, pattern_count, pattern_end)));
    for (i32 i = 0; i < header_count; ++i) {
        if (read_sample_data(reader, context->samples[i]) < 0) return fail(context, -2);
    }

    for (i32 column = 0; column < context->channel_count; ++column) {
        context->channels[column].enabled = 1;
        context->channels[column].default_pan = (column % 4 == 1 || column % 4 == 2) ? pan_left : pan_right;
    }
    context->initial_speed = 6;
    context->initial_tempo = 125;
    context->global_volume = 64;
    context->format_id = module_format_mod;
    return result;
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
