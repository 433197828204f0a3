// FastTracker II extended modules: packed patterns of any row count,
// instruments mapping notes to several samples, volume and panning
// envelopes, delta-coded 8- and 16-bit sample data.
//
// Every offset, count and length in the file is checked against the image;
// the limits below are those of the data a player can actually reach, so a
// damaged header can never make the loader allocate more than the song could
// use.
#include <cstdlib>
#include <cstring>

#include "finetune.h"
#include "loader.h"
#include "reader.h"

namespace {

typedef uint64_t u64;

constexpr u32 probe_minimum_size = 1024;
constexpr size_t header_size_offset = 60;
constexpr size_t orders_offset = 80;
constexpr size_t title_length = 20;
constexpr size_t name_length = 22;

// One record per file channel and one for the global column. Files with more
// channels keep their first 32; the surplus cells are still decoded so the
// stream stays in step, and their row commands still reach the global column.
constexpr u32 max_kept_channels = module_max_channels - 1;
// Orders are bytes, so patterns past 256 can never play.
constexpr u32 max_patterns = 256;
// FastTracker II writes 1..256 rows and later editors up to 1024. A stored 0
// is read as the editors' default of 64 rows; rows past 1024 are dropped, which
// also keeps a damaged header from costing much memory for an empty pattern.
constexpr u32 max_rows = 1024;
constexpr u32 rows_when_zero = 64;
// Cells name instruments by a byte and keymaps name samples by a byte: more
// than 256 of either cannot be reached and only marks a damaged header.
constexpr u32 max_instruments = 256;
constexpr u32 max_samples_per_instrument = 256;
constexpr u8 envelope_points_stored = 12;
constexpr u8 no_point = 255;

enum : u8 {
    envelope_on = 1,
    envelope_sustain = 2,
    envelope_loop = 4,
};

enum : u8 {
    sample_loop_mask = 3,
    sample_loop_forward = 1,
    sample_loop_ping_pong = 2,
    sample_16bit = 0x10,
};

// Offsets within an instrument header of one envelope's fields.
struct envelope_fields {
    size_t points;      // 12 (tick, value) pairs
    size_t count;       // stored point count
    size_t sustain;     // sustain point index
    size_t loop_start;  // loop start point index
    size_t loop_end;    // loop end point index
    size_t type;        // bit 0 on, bit 1 sustain, bit 2 loop
};

constexpr envelope_fields volume_envelope_fields = {129, 225, 227, 228, 229, 233};
constexpr envelope_fields panning_envelope_fields = {177, 226, 230, 231, 232, 234};
constexpr size_t keymap_offset = 33;
constexpr size_t fadeout_offset = 239;

// Where one instrument's parts lie in the file (absolute byte offsets).
struct instrument_layout {
    u64 start;               // instrument header
    u32 sample_count;        // 0..256
    u64 headers;             // first sample header
    u32 sample_header_size;  // distance between sample headers
    u64 data;                // data of the first sample
    u64 next;                // the following instrument
};

struct raw_cell {
    u8 note;        // 0 none, 1..96, 97 key off
    u8 instrument;  // 0 none
    u8 volume;      // volume column byte
    u8 effect;      // effect type
    u8 param;       // effect parameter
};

u8 packed_note(u32 note_index) { return static_cast<u8>((note_index / 12) * 16 + note_index % 12); }

raw_cell read_cell(byte_reader& region) {
    raw_cell cell = {};
    u8 first = region.u8le();
    if (!(first & 0x80)) {
        cell.note = first;
        cell.instrument = region.u8le();
        cell.volume = region.u8le();
        cell.effect = region.u8le();
        cell.param = region.u8le();
        return cell;
    }
    if (first & 0x01) cell.note = region.u8le();
    if (first & 0x02) cell.instrument = region.u8le();
    if (first & 0x04) cell.volume = region.u8le();
    if (first & 0x08) cell.effect = region.u8le();
    if (first & 0x10) cell.param = region.u8le();
    return cell;
}

// Notes 98 and above have no meaning; they are ignored like an empty note.
u8 translate_note(u8 note) {
    if (note == 97) return module_note_off;
    if (note >= 1 && note <= 96) return packed_note(note - 1u);
    return module_note_none;
}

void translate_volume_column(u8 volume, module_cell& cell) {
    if (volume >= 0x10 && volume <= 0x50) {
        cell.volume = static_cast<u8>(volume - 0x10);
        return;
    }
    u8 x = volume & 0x0f;
    switch (volume >> 4) {
        case 0x6:
            set_slot(cell, 0, fx_xm_volume_slide, x);
            break;
        case 0x7:
            set_slot(cell, 0, fx_xm_volume_slide, static_cast<u8>(x * 16));
            break;
        case 0x8:
            set_slot(cell, 0, fx_fine_volume_down, x);
            break;
        case 0x9:
            set_slot(cell, 0, fx_fine_volume_up, x);
            break;
        case 0xc:
            set_slot(cell, 0, fx_set_pan, static_cast<u8>(x * 16));
            break;
        case 0xd:
            set_slot(cell, 0, fx_pan_slide, x);
            break;
        case 0xe:
            set_slot(cell, 0, fx_pan_slide, static_cast<u8>(x * 16));
            break;
        default:
            break;
    }
}

// Effect types that translate to one code with the parameter unchanged;
// fx_count marks the types handled on their own.
constexpr u16 plain_effect_codes[26] = {
    fx_count,                    // 0 arpeggio, or nothing
    fx_xm_porta_up,              // 1
    fx_xm_porta_down,            // 2
    fx_tone_porta,               // 3
    fx_vibrato,                  // 4
    fx_tone_porta_volume_slide,  // 5
    fx_vibrato_volume_slide,     // 6
    fx_tremolo,                  // 7
    fx_set_pan,                  // 8
    fx_sample_offset,            // 9
    fx_xm_volume_slide,          // A
    fx_count,                    // B position jump
    fx_count,                    // C set volume
    fx_count,                    // D pattern break
    fx_count,                    // E extended
    fx_speed_tempo,              // F
    fx_set_global_volume,        // G
    fx_global_volume_slide,      // H
    fx_none,                     // I
    fx_none,                     // J
    fx_none,                     // K
    fx_none,                     // L
    fx_none,                     // M
    fx_none,                     // N
    fx_none,                     // O
    fx_pan_slide,                // P
};

void translate_effect(u8 type, u8 param, module_cell& cell, module_cell& global) {
    set_slot(cell, 1, fx_none, param);
    u16 code = type < 26 ? plain_effect_codes[type] : u16{fx_none};
    if (code != fx_count) {
        cell.effects[1] = code;
        return;
    }
    switch (type) {
        case 0x0:
            cell.effects[1] = param ? fx_arpeggio : fx_none;
            break;
        case 0xb:
            set_slot(global, 0, fx_position_jump, param);
            break;
        case 0xc:
            set_slot(cell, 1, fx_set_volume, param > 64 ? 64 : param);
            break;
        case 0xd:
            set_slot(global, 0, fx_pattern_break, static_cast<u8>((param >> 4) * 10 + (param & 0x0f)));
            break;
        case 0xe:
            translate_extended_command(param, cell, 1, global);
            break;
        default:
            break;
    }
}

// Decodes one pattern's packed cells into a cleared block of `rows` x `channel_count`.
// Decoding stops where the packed data ends: the cells after it stay empty, as
// they would read from zeros, and a header that declares far more rows and
// channels than its data holds costs no more than that data.
void decode_pattern(byte_reader& region, u32 rows, u32 file_channels, i32 channel_count, module_cell* cells) {
    u32 kept_channels = static_cast<u32>(channel_count) - 1;
    for (u32 row = 0; row < rows; ++row) {
        module_cell* row_cells = cells + static_cast<size_t>(row) * channel_count;
        module_cell& global = row_cells[channel_count - 1];
        for (u32 channel = 0; channel < file_channels; ++channel) {
            if (region.remaining() == 0) return;
            raw_cell raw = read_cell(region);
            module_cell dropped = xm_empty_cell;
            module_cell& cell = channel < kept_channels ? row_cells[channel] : dropped;
            cell.note = translate_note(raw.note);
            cell.instrument = raw.instrument;
            if (raw.volume) translate_volume_column(raw.volume, cell);
            translate_effect(raw.effect, raw.param, cell, global);
        }
    }
}

// Pattern headers and packed data, from the end of the song header; leaves
// `file` at the first instrument.
i32 load_patterns(byte_reader& file, u32 file_channels, u32 pattern_count, module_context* context) {
    if (allocate_pattern_arrays(context, static_cast<i32>(pattern_count))) return -2;
    u64 position = header_size_offset + static_cast<u64>(file.u32le());
    for (u32 p = 0; p < pattern_count; ++p) {
        if (!file.seek(position)) return -1;
        u32 header_length = file.u32le();
        file.skip(1);
        u32 rows = file.u16le();
        u32 packed_size = file.u16le();
        if (file.failed()) return -1;
        if (rows == 0) rows = rows_when_zero;
        if (rows > max_rows) rows = max_rows;

        module_cell* cells = allocate_pattern(context, static_cast<i32>(p), rows, xm_empty_cell);
        if (!cells) return -2;
        // The packed data is read through a reader of its own, so that cell
        // decoding cannot run into the next pattern.
        u64 data_start = position + header_length;
        if (!file.holds(data_start, packed_size)) return -1;
        byte_reader region = file.sub_reader(data_start, packed_size);
        decode_pattern(region, rows, file_channels, context->channel_count, cells);
        position = data_start + packed_size;
    }
    return file.seek(position) ? 0 : -1;
}

// Finds the parts of the instrument at `start` without keeping anything; both
// passes over the instruments walk the file through this one function.
bool locate_instrument(byte_reader& file, u64 start, instrument_layout& layout) {
    if (!file.seek(start)) return false;
    layout.start = start;
    u32 header_size = file.u32le();
    file.skip(name_length + 1);
    layout.sample_count = file.u16le();
    layout.sample_header_size = layout.sample_count ? file.u32le() : 0;
    layout.headers = start + header_size;
    layout.data = layout.headers + static_cast<u64>(layout.sample_count) * layout.sample_header_size;
    if (file.failed() || layout.sample_count > max_samples_per_instrument) return false;

    u64 data_bytes = 0;
    for (u32 j = 0; j < layout.sample_count; ++j) {
        if (!file.seek(layout.headers + static_cast<u64>(j) * layout.sample_header_size)) return false;
        data_bytes += file.u32le();
    }
    layout.next = layout.sample_count ? layout.data + data_bytes : layout.headers;
    return !file.failed();
}

// Point ticks must increase for the player to step from point to point; a
// point that does not advance is moved one tick past its predecessor, and an
// envelope that cannot advance any further ends at the last good point.
// Loop and sustain indices that name no point are dropped.
void repair_envelope(module_envelope& envelope) {
    for (u8 i = 1; i < envelope.point_count; ++i) {
        u16 previous = envelope.points[i - 1].tick;
        if (envelope.points[i].tick > previous) continue;
        if (previous == 0xffff) {
            envelope.point_count = i;
            break;
        }
        envelope.points[i].tick = static_cast<u16>(previous + 1);
    }
    if (envelope.sustain_point >= envelope.point_count) envelope.sustain_point = no_point;
    if (envelope.loop_start >= envelope.point_count || envelope.loop_end >= envelope.point_count ||
        envelope.loop_start > envelope.loop_end)
        envelope.loop_start = envelope.loop_end = no_point;
}

i32 load_envelope(byte_reader& file, u64 start, const envelope_fields& fields, module_envelope& envelope) {
    file.seek(start + fields.type);
    u8 type = file.u8le();
    file.seek(start + fields.count);
    u8 count = file.u8le();
    if (!(type & envelope_on) || count == 0) return 0;
    // The file holds 12 points; a larger count would read the fields behind them.
    if (count > envelope_points_stored) count = envelope_points_stored;

    file.seek(start + fields.sustain);
    u8 sustain = file.u8le();
    u8 loop_start = file.u8le();
    u8 loop_end = file.u8le();
    envelope.enabled = 1;
    envelope.loop_start = (type & envelope_loop) ? loop_start : no_point;
    envelope.loop_end = (type & envelope_loop) ? loop_end : no_point;
    envelope.sustain_point = (type & envelope_sustain) ? sustain : no_point;
    envelope.points = static_cast<module_envelope_point*>(std::malloc(count * sizeof(module_envelope_point)));
    if (!envelope.points) return -2;
    envelope.point_count = count;
    file.seek(start + fields.points);
    for (u8 i = 0; i < count; ++i) {
        envelope.points[i].tick = file.u16le();
        envelope.points[i].value = file.u16le();
    }
    repair_envelope(envelope);
    return 0;
}

// Reads one sample header; its loop is fitted to the data once that is read.
void read_sample_header(byte_reader& file, u64 offset, module_sample& sample, u32& stored_bytes) {
    file.seek(offset);
    stored_bytes = file.u32le();
    u32 loop_start = file.u32le();
    u32 loop_length = file.u32le();
    sample.volume = sample.xm_volume = file.u8le();
    sample.finetune = file.i8le();
    u8 type = file.u8le();
    sample.panning = static_cast<u8>(file.u8le() / 4);
    sample.relative_note = file.i8le();
    file.skip(1);
    file.bytes(sample.name, name_length);
    sample.default_c_rate = sample.c_rate = xm_finetune_rate(sample.finetune);
    sample.is_stereo = 0;
    sample.is_16bit = (type & sample_16bit) ? 1 : 0;
    if (sample.is_16bit) {
        loop_start >>= 1;
        loop_length >>= 1;
    }
    u8 loop_type = type & sample_loop_mask;
    sample.looped = (loop_type == sample_loop_forward || loop_type == sample_loop_ping_pong) && loop_length ? 1 : 0;
    sample.ping_pong = sample.looped && loop_type == sample_loop_ping_pong ? 1 : 0;
    sample.loop_start = loop_start;
    // A loop end past what 32 bits can hold lies past the data all the same.
    const u64 loop_end = static_cast<u64>(loop_start) + loop_length;
    sample.loop_end = loop_end > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<u32>(loop_end);
}

// Loads the frames of the sample that the file holds and undoes the delta
// coding. A 16-bit sample with an odd byte length keeps its whole frames; the
// stray byte still counts when the caller steps to the next sample's data.
i32 read_sample_data(byte_reader& file, u64 offset, u32 stored_bytes, module_sample& sample) {
    u32 width = sample.is_16bit ? 2 : 1;
    u64 present = offset < file.size() ? file.size() - offset : 0;
    if (present > stored_bytes) present = stored_bytes;
    sample.length = static_cast<u32>(present / width);
    if (!sample.length) return 0;

    sample.data = std::malloc(static_cast<size_t>(sample.length) * width);
    if (!sample.data) return -2;
    file.seek(offset);
    if (sample.is_16bit) {
        i16* frames = static_cast<i16*>(sample.data);
        u16 total = 0;
        for (u32 f = 0; f < sample.length; ++f) frames[f] = static_cast<i16>(total += file.u16le());
    } else {
        u8* bytes = static_cast<u8*>(sample.data);
        file.copy_available(bytes, sample.length);
        u8 total = 0;
        for (u32 f = 0; f < sample.length; ++f) bytes[f] = total += bytes[f];
    }
    return 0;
}

i32 load_instrument(byte_reader& file, const instrument_layout& layout, module_sample* samples,
                    module_instrument& instrument) {
    file.seek(layout.start + 4);
    file.bytes(instrument.name, name_length);
    set_identity_note_map(instrument);
    if (!layout.sample_count) return file.failed() ? -1 : 0;

    file.seek(layout.start + fadeout_offset);
    instrument.fadeout = file.u16le();
    file.seek(layout.start + keymap_offset);
    for (u32 k = 0; k < 96; ++k) {
        u8 sample_index = file.u8le();
        // A keymap entry naming a sample this instrument lacks plays nothing.
        if (sample_index < layout.sample_count) instrument.note_samples[packed_note(k)] = &samples[sample_index];
    }
    if (i32 result = load_envelope(file, layout.start, volume_envelope_fields, instrument.volume_envelope))
        return result;
    if (i32 result = load_envelope(file, layout.start, panning_envelope_fields, instrument.panning_envelope))
        return result;

    u64 data_offset = layout.data;
    for (u32 j = 0; j < layout.sample_count; ++j) {
        module_sample& sample = samples[j];
        u32 stored_bytes = 0;
        read_sample_header(file, layout.headers + static_cast<u64>(j) * layout.sample_header_size, sample,
                           stored_bytes);
        if (file.failed()) return -1;
        if (i32 result = read_sample_data(file, data_offset, stored_bytes, sample)) return result;
        fit_loop(sample);
        data_offset += stored_bytes;
    }
    return file.failed() ? -1 : 0;
}

// First pass: count every instrument's samples so that one block holds them all.
i32 count_samples(byte_reader& file, u64 first_instrument, i32 instrument_count, i32& sample_count) {
    u64 position = first_instrument;
    sample_count = 0;
    for (i32 i = 0; i < instrument_count; ++i) {
        instrument_layout layout;
        if (!locate_instrument(file, position, layout)) return -1;
        sample_count += static_cast<i32>(layout.sample_count);
        position = layout.next;
    }
    return 0;
}

i32 load_instruments(byte_reader& file, i32 instrument_count, module_context* context) {
    u64 first_instrument = file.position();
    i32 sample_count = 0;
    if (count_samples(file, first_instrument, instrument_count, sample_count)) return -1;
    if (allocate_instruments(context, instrument_count, sample_count)) return -2;

    u64 position = first_instrument;
    i32 first_sample = 0;
    for (i32 i = 0; i < instrument_count; ++i) {
        instrument_layout layout;
        if (!locate_instrument(file, position, layout)) return -1;
        module_instrument& instrument = context->instruments[i];
        if (i32 result = load_instrument(file, layout, context->samples + first_sample, instrument)) return result;
        first_sample += static_cast<i32>(layout.sample_count);
        position = layout.next;
    }
    return 0;
}

}  // namespace

u32 xm_probe(const u8* data, i32 size) {
    if (!data || size < static_cast<i32>(probe_minimum_size)) return 0;
    byte_reader file(data, static_cast<size_t>(size));
    return file.matches(0, "Extended Module: ", 17) && file.byte_at(37) == 0x1a ? 1 : 0;
}

i32 xm_load(const u8* data, i32 size, module_context* context) {
    if (!context || !xm_probe(data, size)) return -1;
    byte_reader file(data, static_cast<size_t>(size));

    file.seek(64);
    u32 song_length = file.u16le();
    u32 restart_position = file.u16le();
    u32 file_channels = file.u16le();
    u32 pattern_count = file.u16le();
    u32 instrument_count = file.u16le();
    u16 flags = file.u16le();
    u16 speed = file.u16le();
    u16 tempo = file.u16le();
    if (file_channels < 1 || pattern_count > max_patterns || instrument_count > max_instruments) return -1;

    std::memset(context->title, 0, sizeof context->title);
    file.seek(17);
    file.bytes(context->title, title_length);
    // Only 256 order entries exist, in the file and in the record.
    context->order_count = song_length < 256 ? song_length : 256;
    context->restart_position = restart_position;
    context->channel_count =
        static_cast<i32>(file_channels < max_kept_channels ? file_channels : max_kept_channels) + 1;
    context->linear_frequencies = flags & 1;
    context->initial_speed = static_cast<u8>(speed & 0xff);
    context->initial_tempo = static_cast<u8>(tempo & 0xff);
    file.seek(orders_offset);
    file.bytes(context->orders, sizeof context->orders);

    file.seek(header_size_offset);
    if (i32 result = load_patterns(file, file_channels, pattern_count, context)) return fail_load(context, result);
    if (i32 result = load_instruments(file, static_cast<i32>(instrument_count), context))
        return fail_load(context, result);

    context->unsigned_samples = 0;
    context->global_volume = 64;
    context->format_id = module_format_xm;
    for (i32 c = 0; c < context->channel_count; ++c) {
        context->channels[c].enabled = 1;
        context->channels[c].default_pan = 128;
    }
    return 0;
}
