// Scream Tracker 3 modules: a header with parapointers (file offsets in units
// of 16 bytes) to the sample headers and the packed 64-row patterns.
#include <cstdlib>

#include "loader.h"
#include "reader.h"

namespace {

constexpr size_t channel_settings_offset = 64;
constexpr size_t file_channels = 32;
constexpr u32 rows_per_pattern = 64;
constexpr u8 unmapped = 255;
constexpr u8 sample_type_pcm = 1;
constexpr u8 pan_left = 86;
constexpr u8 pan_right = 167;
constexpr u32 parapointer_unit = 16;

// Orders and cells name patterns and instruments with single bytes, so
// entries past what a byte can name could never be played. A header asking
// for more is cut to these counts instead of being refused: the parapointer
// tables are still stepped over in full, and the song plays as written. This
// also keeps a small file from asking for a huge allocation through shared
// parapointers.
constexpr u32 max_orders = 256;       // the orders array
constexpr u32 max_patterns = 256;     // order entries are bytes
constexpr u32 max_instruments = 255;  // cell instrument bytes, 0 meaning none

// A packed pattern is stored behind a 16-bit length, so no pattern's data is
// longer: a stream that has not completed its rows by then is no pattern.
constexpr u32 max_packed_pattern = 65535;

// What the song header holds beyond the fields it sets directly.
struct s3m_header {
    u32 instrument_count;  // slots loaded, at most max_instruments
    u32 pattern_count;     // patterns loaded, at most max_patterns
    u16 sample_pointers[max_instruments];
    u16 pattern_pointers[max_patterns];
    u8 channel_map[file_channels];  // file channel -> column, or unmapped
};

// Command byte (1 = A .. 26 = Z) -> internal code for the commands that take
// their parameter unchanged; fx_count marks the row commands B and C and the
// special commands S, translated on their own. Anything else has no effect.
constexpr u16 command_codes[27] = {
    fx_none,                         // no command
    fx_s3m_speed,                    // A
    fx_count,                        // B position jump
    fx_count,                        // C pattern break
    fx_s3m_volume_slide,             // D
    fx_s3m_porta_down,               // E
    fx_s3m_porta_up,                 // F
    fx_tone_porta,                   // G
    fx_vibrato,                      // H
    fx_none,                         // I
    fx_arpeggio,                     // J
    fx_s3m_vibrato_volume_slide,     // K
    fx_s3m_tone_porta_volume_slide,  // L
    fx_none,                         // M
    fx_none,                         // N
    fx_sample_offset,                // O
    fx_none,                         // P
    fx_s3m_retrigger,                // Q
    fx_s3m_tremolo,                  // R
    fx_count,                        // S special
    fx_s3m_tempo,                    // T
    fx_none,                         // U
    fx_set_global_volume,            // V
    fx_none,                         // W
    fx_none,                         // X
    fx_none,                         // Y
    fx_none,                         // Z
};

// Sxy by x, for the commands that take y; fx_count marks the row commands
// (SBx pattern loop, SEx pattern delay); the others have no effect.
constexpr u16 special_codes[16] = {
    fx_none, fx_none,  fx_set_finetune, fx_vibrato_waveform, fx_tremolo_waveform,
    fx_none, fx_none,  fx_none,         fx_coarse_pan,       fx_none,
    fx_none, fx_count, fx_note_cut,     fx_note_delay,       fx_count,
    fx_none,
};

// Sxy: x picks the command, y is its parameter.
void translate_special(u8 param, module_cell& cell, module_cell& global) {
    const u8 command = param >> 4, value = param & 15;
    const u16 code = special_codes[command];
    if (code == fx_count)
        set_slot(global, 0, command == 0xb ? fx_pattern_loop : fx_pattern_delay, value);
    else
        set_slot(cell, 0, code, code == fx_none ? param : value);
}

// Row commands go to the global column and leave the channel's slot at code
// 0, parameter 0.
void translate_command(u8 command, u8 param, module_cell& cell, module_cell& global) {
    set_slot(cell, 0, fx_none, 0);
    const u16 code = command < 27 ? command_codes[command] : u16{fx_none};
    if (code != fx_count)
        set_slot(cell, 0, code, param);
    else if (command == 'S' - 64)
        translate_special(param, cell, global);
    else
        set_slot(global, 0, command == 'B' - 64 ? fx_position_jump : fx_pattern_break, param);
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
        context->channels[columns].default_pan = settings[i] < 8 ? pan_left : pan_right;
        ++columns;
    }
    context->channels[columns].enabled = 1;
    context->channel_count = columns + 1;
}

u32 at_most(u32 value, u32 limit) { return value < limit ? value : limit; }

// The song header, channel settings, order list and parapointer tables.
i32 load_header(byte_reader& file, module_context* context, s3m_header& header) {
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
    if (file.failed()) return -1;
    map_channels(channel_settings, context, header.channel_map);

    context->order_count = at_most(stored_orders, max_orders);
    file.bytes(context->orders, context->order_count);
    file.skip(stored_orders - context->order_count);
    header.instrument_count = at_most(stored_instruments, max_instruments);
    for (u32 i = 0; i < header.instrument_count; ++i) header.sample_pointers[i] = file.u16le();
    file.skip(2 * uint64_t{stored_instruments - header.instrument_count});
    header.pattern_count = at_most(stored_patterns, max_patterns);
    for (u32 p = 0; p < header.pattern_count; ++p) header.pattern_pointers[p] = file.u16le();
    return file.failed() ? -1 : 0;
}

// A sample's data may end early (a cut last sample is common): the frames
// that are there are loaded and `length` shrinks to them. A stereo sample
// stores its left channel first; only that one is read.
// Trackers store every sample's data once, so all samples together read no
// more bytes than the file has; `data_budget` holds what is left of that.
// Without it, slots whose headers all point at one large data area would
// copy the file over and over (255 times at most, but gigabytes for a large
// file). A slot past the budget is shortened as if its data ended early.
i32 load_sample_data(byte_reader& file, uint64_t data_offset, bool unsigned_samples, size_t& data_budget,
                     module_sample& sample) {
    size_t value_size = sample.is_16bit ? 2 : 1;
    size_t bytes_present = data_offset < file.size() ? file.size() - static_cast<size_t>(data_offset) : 0;
    if (bytes_present > data_budget) bytes_present = data_budget;
    size_t frames_present = bytes_present / value_size;
    if (frames_present < sample.length) sample.length = static_cast<u32>(frames_present);
    data_budget -= size_t{sample.length} * value_size;
    fit_loop(sample);
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
i32 load_instrument(byte_reader file, uint64_t header_offset, bool unsigned_samples, size_t& data_budget,
                    module_instrument& instrument, module_sample& sample) {
    instrument.fadeout = mod_s3m_fadeout;
    set_identity_note_map(instrument);
    // A slot without sample still gets a well-formed empty sample record.
    sample.panning = 255;
    fit_loop(sample);
    // Offset 0 is the song header itself, never a sample header: trackers write
    // a zero parapointer for a slot they left empty.
    if (header_offset == 0) return 0;
    file.seek(header_offset);
    u8 type = file.u8le();
    if (file.failed()) return -1;
    if (type != sample_type_pcm) return 0;
    if (!file.matches(header_offset + 76, "SCRS", 4)) return -1;

    file.seek(header_offset + 13);  // memory segment: high byte, then the low word
    u32 segment_high = file.u8le();
    u32 segment_low = file.u16le();
    uint64_t data_offset = ((uint64_t{segment_high} << 16) | segment_low) * parapointer_unit;
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

    play_on_every_note(instrument, sample);
    return load_sample_data(file, data_offset, unsigned_samples, data_budget, sample);
}

i32 load_samples(const byte_reader& file, const s3m_header& header, module_context* context) {
    const i32 count = static_cast<i32>(header.instrument_count);
    if (allocate_instruments(context, count, count)) return -2;
    size_t data_budget = file.size();
    for (i32 i = 0; i < count; ++i) {
        i32 result =
            load_instrument(file, uint64_t{header.sample_pointers[i]} * parapointer_unit, context->unsigned_samples,
                            data_budget, context->instruments[i], context->samples[i]);
        if (result < 0) return result;
    }
    return 0;
}

// Decodes one packed pattern into a block already filled with "nothing".
// Data that is missing or ends before row 63 is complete is malformed.
i32 decode_pattern(byte_reader& stream, const u8* channel_map, i32 channel_count, module_cell* cells) {
    u32 row = 0;
    while (row < rows_per_pattern && !stream.failed()) {
        u8 what = stream.u8le();
        if (what == 0) {
            ++row;
            continue;
        }
        u8 column = channel_map[what & 31];
        if (column == unmapped) {
            stream.skip((what & 32 ? 2 : 0) + (what & 64 ? 1 : 0) + (what & 128 ? 2 : 0));
            continue;
        }
        module_cell* row_cells = cells + size_t{row} * channel_count;
        module_cell& cell = row_cells[column];
        if (what & 32) {
            cell.note = stream.u8le();
            cell.instrument = stream.u8le();
        }
        if (what & 64) cell.volume = stream.u8le();
        if (what & 128) {
            u8 command = stream.u8le();
            u8 param = stream.u8le();
            translate_command(command, param, cell, row_cells[channel_count - 1]);
        }
    }
    return stream.failed() ? -1 : 0;
}

// Trackers store every pattern once, so all patterns together read no more
// bytes than the file has; `budget` holds what is left of that. Without it,
// patterns whose parapointers all lead into one long stream would each read
// it again. A stream cut by the budget ends early, as if the file did.
i32 load_patterns(const byte_reader& file, const s3m_header& header, module_context* context) {
    if (allocate_pattern_arrays(context, static_cast<i32>(header.pattern_count))) return -2;
    size_t budget = file.size();
    for (i32 p = 0; p < context->pattern_count; ++p) {
        module_cell* cells = allocate_pattern(context, p, rows_per_pattern, mod_s3m_empty_cell);
        if (!cells) return -2;
        // A zero parapointer would point into the song header: the pattern was left empty.
        if (header.pattern_pointers[p] == 0) continue;
        // The packed data follows its two-byte length.
        const uint64_t offset = uint64_t{header.pattern_pointers[p]} * parapointer_unit + 2;
        byte_reader stream = file.sub_reader(offset, budget < max_packed_pattern ? budget : max_packed_pattern);
        if (decode_pattern(stream, header.channel_map, context->channel_count, cells)) return -1;
        budget -= stream.position();
    }
    return 0;
}

}  // namespace

u32 s3m_probe(const u8* data, i32 size) {
    if (!data || size < 48) return 0;
    return byte_reader(data, static_cast<size_t>(size)).matches(44, "SCRM", 4) ? 1 : 0;
}

i32 s3m_load(const u8* data, i32 size, module_context* context) {
    if (!context || !s3m_probe(data, size)) return -1;
    byte_reader file(data, static_cast<size_t>(size));
    s3m_header header;
    if (i32 result = load_header(file, context, header)) return fail_load(context, result);
    if (i32 result = load_samples(file, header, context)) return fail_load(context, result);
    if (i32 result = load_patterns(file, header, context)) return fail_load(context, result);
    context->format_id = module_format_s3m;
    return 0;
}
