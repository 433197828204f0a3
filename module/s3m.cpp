// Scream Tracker 3 modules: a header with parapointers (file offsets in units
// of 16 bytes) to the sample headers and the packed 64-row patterns.
#include <cstdlib>
#include <cstring>

#include "loader.h"
#include "reader.h"

namespace {

constexpr size_t header_size = 96;
constexpr size_t channel_settings_offset = 64;
constexpr size_t file_channels = 32;
constexpr u32 rows_per_pattern = 64;
constexpr u8 unmapped = 255;
constexpr u8 sample_type_pcm = 1;
constexpr u16 fadeout_none = 32767;

// Orders and cells name patterns and instruments with single bytes, so
// entries past what a byte can name could never be played. A header asking
// for more is cut to these counts instead of being refused: the parapointer
// tables are still stepped over in full, and the song plays as written. This
// also keeps a small file from asking for a huge allocation through shared
// parapointers.
constexpr u32 max_orders = 256;       // the orders array
constexpr u32 max_patterns = 256;     // order entries are bytes
constexpr u32 max_instruments = 255;  // cell instrument bytes, 0 meaning none

// Calloc that gives a real block for zero entries too, so that a song
// without instruments or patterns still has every array allocated.
void* allocate(size_t count, size_t size) { return std::calloc(count ? count : 1, size); }

i32 fail(module_context* context, i32 result) {
    module_release_song(context);
    return result;
}

void set_global(module_cell& global, u16 code, u8 param) {
    global.effects[0] = code;
    global.params[0] = param;
}

// Sxy: x picks the command, y is its parameter.
void translate_special(u8 param, module_cell& cell, module_cell& global) {
    u8 low = param & 15;
    u16 code = fx_none;
    switch (param >> 4) {
        case 0x2:
            code = fx_set_finetune;
            break;
        case 0x3:
            code = fx_vibrato_waveform;
            break;
        case 0x4:
            code = fx_tremolo_waveform;
            break;
        case 0x8:
            code = fx_coarse_pan;
            break;
        case 0xc:
            code = fx_note_cut;
            break;
        case 0xd:
            code = fx_note_delay;
            break;
        case 0xb:
            set_global(global, fx_pattern_loop, low);
            return;
        case 0xe:
            set_global(global, fx_pattern_delay, low);
            return;
        default:
            cell.effects[0] = fx_none;
            cell.params[0] = param;
            return;
    }
    cell.effects[0] = code;
    cell.params[0] = low;
}

// Command bytes count letters from 1 = A. Row commands go to the global
// column and leave the channel's slot at code 0, parameter 0.
void translate_command(u8 command, u8 param, module_cell& cell, module_cell& global) {
    cell.effects[0] = fx_none;
    cell.params[0] = 0;
    u16 code = fx_none;
    switch (command) {
        case 'A' - 64:
            code = fx_s3m_speed;
            break;
        case 'B' - 64:
            set_global(global, fx_position_jump, param);
            return;
        case 'C' - 64:
            set_global(global, fx_pattern_break, param);
            return;
        case 'D' - 64:
            code = fx_s3m_volume_slide;
            break;
        case 'E' - 64:
            code = fx_s3m_porta_down;
            break;
        case 'F' - 64:
            code = fx_s3m_porta_up;
            break;
        case 'G' - 64:
            code = fx_tone_porta;
            break;
        case 'H' - 64:
            code = fx_vibrato;
            break;
        case 'J' - 64:
            code = fx_arpeggio;
            break;
        case 'K' - 64:
            code = fx_s3m_vibrato_volume_slide;
            break;
        case 'L' - 64:
            code = fx_s3m_tone_porta_volume_slide;
            break;
        case 'O' - 64:
            code = fx_sample_offset;
            break;
        case 'Q' - 64:
            code = fx_s3m_retrigger;
            break;
        case 'R' - 64:
            code = fx_s3m_tremolo;
            break;
        case 'S' - 64:
            translate_special(param, cell, global);
            return;
        case 'T' - 64:
            code = fx_s3m_tempo;
            break;
        case 'V' - 64:
            code = fx_set_global_volume;
            break;
        default:
            break;
    }
    cell.effects[0] = code;
    cell.params[0] = param;
}

// The mixer can only loop inside the data that is there: a loop that starts
// at or past the end, or that ends where it starts, is dropped; one that runs
// past the end is cut at it. A sample without loop marks both points at its
// last frame.
void settle_loop(module_sample& sample) {
    if (sample.looped && (sample.loop_start >= sample.length || sample.loop_end <= sample.loop_start))
        sample.looped = 0;
    if (!sample.looped) {
        sample.loop_start = sample.length - 1;
        sample.loop_end = sample.length - 1;
    } else if (sample.loop_end > sample.length) {
        sample.loop_end = sample.length;
    }
}

// A sample's data may end early (a cut last sample is common): the frames
// that are there are loaded and `length` shrinks to them. A stereo sample
// stores its left channel first; only that one is read.
// Trackers store every sample's data once, so all samples together read no
// more bytes than the file has; `data_budget` holds what is left of that.
// Without it, slots whose headers all point at one large data area would
// copy the file over and over (255 times at most, but gigabytes for a large
// file). A slot past the budget is shortened as if its data ended early.
i32 load_sample_data(byte_reader& file, size_t data_offset, bool unsigned_samples, size_t& data_budget,
                     module_sample& sample) {
    size_t value_size = sample.is_16bit ? 2 : 1;
    size_t bytes_present = data_offset < file.size ? file.size - data_offset : 0;
    if (bytes_present > data_budget) bytes_present = data_budget;
    size_t frames_present = bytes_present / value_size;
    if (frames_present < sample.length) sample.length = static_cast<u32>(frames_present);
    data_budget -= size_t{sample.length} * value_size;
    settle_loop(sample);
    if (sample.length == 0) return 0;

    size_t block_size = (sample.is_16bit || sample.is_stereo) ? 2 * size_t{sample.length} : sample.length;
    sample.data = std::calloc(block_size, 1);
    if (!sample.data) return -2;
    file.seek(data_offset);
    if (sample.is_16bit) {
        i16* values = static_cast<i16*>(sample.data);
        u16 flip = unsigned_samples ? 0x8000 : 0;
        for (u32 f = 0; f < sample.length; ++f) values[f] = static_cast<i16>(file.u16le() ^ flip);
    } else {
        u8* values = static_cast<u8*>(sample.data);
        file.copy_available(values, sample.length);
        if (unsigned_samples)
            for (u32 f = 0; f < sample.length; ++f) values[f] ^= 0x80;
    }
    return 0;
}

// Fills one instrument slot and its sample from the sample header at `header_offset`.
i32 load_instrument(const byte_reader& image, size_t header_offset, bool unsigned_samples, size_t& data_budget,
                    module_instrument& instrument, module_sample& sample) {
    byte_reader file(image.data, image.size);
    instrument.fadeout = fadeout_none;
    for (size_t note = 0; note < 256; ++note) instrument.note_map[note] = static_cast<u8>(note);
    // A slot without sample still gets a well-formed empty sample record.
    sample.panning = 255;
    settle_loop(sample);
    // Offset 0 is the song header itself, never a sample header: trackers write
    // a zero parapointer for a slot they left empty.
    if (header_offset == 0) return 0;
    file.seek(header_offset);
    u8 type = file.u8le();
    if (file.failed) return -1;
    if (type != sample_type_pcm) return 0;
    if (!file.matches(header_offset + 76, "SCRS", 4)) return -1;

    file.seek(header_offset + 13);  // memory segment: high byte, then the low word
    u32 segment_high = file.u8le();
    u32 segment_low = file.u16le();
    size_t data_offset = ((size_t{segment_high} << 16) | segment_low) * 16;
    sample.length = file.u32le();
    sample.loop_start = file.u32le();
    sample.loop_end = file.u32le();
    sample.volume = file.u8le();
    file.skip(2);  // reserved, pack
    u8 flags = file.u8le();
    sample.looped = flags & 1;
    sample.is_stereo = (flags >> 1) & 1;
    sample.is_16bit = (flags >> 2) & 1;
    sample.default_c_rate = file.u32le();
    sample.c_rate = sample.default_c_rate;
    file.seek(header_offset + 48);
    file.bytes(instrument.name, sizeof instrument.name);

    for (module_sample*& note_sample : instrument.note_samples) note_sample = &sample;
    return load_sample_data(file, data_offset, unsigned_samples, data_budget, sample);
}

// Decodes one packed pattern into a block already filled with "nothing".
// Data that is missing or ends before row 63 is complete is malformed.
i32 decode_pattern(const byte_reader& image, size_t offset, const u8* channel_map, i32 channel_count,
                   module_cell* cells) {
    byte_reader file(image.data, image.size);
    file.seek(offset);
    u32 row = 0;
    while (row < rows_per_pattern && !file.failed) {
        u8 what = file.u8le();
        if (what == 0) {
            ++row;
            continue;
        }
        u8 column = channel_map[what & 31];
        if (column == unmapped) {
            file.skip((what & 32 ? 2 : 0) + (what & 64 ? 1 : 0) + (what & 128 ? 2 : 0));
            continue;
        }
        module_cell* row_cells = cells + size_t{row} * channel_count;
        module_cell& cell = row_cells[column];
        if (what & 32) {
            cell.note = file.u8le();
            cell.instrument = file.u8le();
        }
        if (what & 64) cell.volume = file.u8le();
        if (what & 128) {
            u8 command = file.u8le();
            u8 param = file.u8le();
            translate_command(command, param, cell, row_cells[channel_count - 1]);
        }
    }
    return file.failed ? -1 : 0;
}

// Maps the enabled PCM channels (settings 0..15) to consecutive columns and
// adds the global column after them.
void map_channels(const u8* settings, module_context* context, u8* channel_map) {
    for (module_channel& channel : context->channels) channel.enabled = 0;
    i32 columns = 0;
    for (size_t i = 0; i < file_channels; ++i) {
        channel_map[i] = unmapped;
        if (settings[i] >= 16) continue;
        channel_map[i] = static_cast<u8>(columns);
        context->channels[columns].enabled = 1;
        context->channels[columns].default_pan = settings[i] < 8 ? 86 : 167;
        ++columns;
    }
    context->channels[columns].enabled = 1;
    context->channel_count = columns + 1;
}

u32 at_most(u32 value, u32 limit) { return value < limit ? value : limit; }

}  // namespace

u32 s3m_probe(const u8* data, i32 size) {
    if (!data || size < 48) return 0;
    return byte_reader(data, static_cast<size_t>(size)).matches(44, "SCRM", 4) ? 1 : 0;
}

i32 s3m_load(const u8* data, i32 size, module_context* context) {
    if (!context || !s3m_probe(data, size)) return -1;
    byte_reader file(data, static_cast<size_t>(size));
    file.bytes(context->title, sizeof context->title);
    if (file.byte_at(29) != 16) return -1;

    file.seek(32);
    u32 stored_orders = file.u16le();
    u32 stored_instruments = file.u16le();
    u32 stored_patterns = file.u16le();
    u8 flags = file.u8le();
    context->st2_tempo = (flags >> 1) & 1;
    context->amiga_slides = (flags >> 2) & 1;
    context->zero_volume_optimise = (flags >> 3) & 1;
    context->amiga_limits = (flags >> 4) & 1;
    context->sfx_filter = (flags >> 5) & 1;
    context->fast_volume_slides = (flags >> 6) & 1;
    file.seek(40);
    // The version word's first byte goes to the high half.
    u16 version_first = file.u8le();
    context->tracker_version = static_cast<u16>((version_first << 8) | file.u8le());
    context->unsigned_samples = file.u8le() == 2;
    file.seek(48);
    context->global_volume = file.u8le();
    context->initial_speed = file.u8le();
    context->initial_tempo = file.u8le();

    u8 channel_settings[file_channels];
    file.seek(channel_settings_offset);
    file.bytes(channel_settings, sizeof channel_settings);
    if (file.failed) return -1;
    u8 channel_map[file_channels];
    map_channels(channel_settings, context, channel_map);

    context->order_count = at_most(stored_orders, max_orders);
    file.bytes(context->orders, context->order_count);
    file.skip(stored_orders - context->order_count);
    u32 instrument_count = at_most(stored_instruments, max_instruments);
    u16 sample_pointers[max_instruments];
    for (u32 i = 0; i < instrument_count; ++i) sample_pointers[i] = file.u16le();
    file.skip(2 * size_t{stored_instruments - instrument_count});
    u32 pattern_count = at_most(stored_patterns, max_patterns);
    u16 pattern_pointers[max_patterns];
    for (u32 p = 0; p < pattern_count; ++p) pattern_pointers[p] = file.u16le();
    if (file.failed) return -1;

    context->instruments = static_cast<module_instrument*>(allocate(instrument_count, sizeof(module_instrument)));
    if (!context->instruments) return fail(context, -2);
    context->instrument_count = static_cast<i32>(instrument_count);
    context->samples = static_cast<module_sample*>(allocate(instrument_count, sizeof(module_sample)));
    if (!context->samples) return fail(context, -2);
    context->sample_count = static_cast<i32>(instrument_count);
    size_t data_budget = file.size;
    for (u32 i = 0; i < instrument_count; ++i) {
        i32 result = load_instrument(file, size_t{sample_pointers[i]} * 16, context->unsigned_samples, data_budget,
                                     context->instruments[i], context->samples[i]);
        if (result < 0) return fail(context, result);
    }

    context->patterns = static_cast<module_pattern**>(allocate(pattern_count, sizeof(module_pattern*)));
    context->pattern_rows = static_cast<u32*>(allocate(pattern_count, sizeof(u32)));
    if (!context->patterns || !context->pattern_rows) return fail(context, -2);
    context->pattern_count = static_cast<i32>(pattern_count);
    size_t cells_per_pattern = size_t{rows_per_pattern} * context->channel_count;
    for (u32 p = 0; p < pattern_count; ++p) {
        context->pattern_rows[p] = rows_per_pattern;
        module_cell* cells = static_cast<module_cell*>(std::malloc(cells_per_pattern * sizeof(module_cell)));
        if (!cells) return fail(context, -2);
        std::memset(cells, 255, cells_per_pattern * sizeof(module_cell));
        context->patterns[p] = cells;
        // A zero parapointer would point into the song header: the pattern was left empty.
        if (pattern_pointers[p] == 0) continue;
        if (decode_pattern(file, size_t{pattern_pointers[p]} * 16 + 2, channel_map, context->channel_count, cells))
            return fail(context, -1);
    }

    context->format_id = module_format_s3m;
    return 0;
}
