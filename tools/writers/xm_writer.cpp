#include "xm_writer.h"

#include <stdexcept>

#include "byte_writer.h"

namespace {

constexpr size_t header_fields_start = 60;
constexpr size_t envelope_points_stored = 12;
constexpr uint32_t natural_sample_header_size = 40;
constexpr uint32_t full_instrument_header_size = 263;
constexpr uint32_t empty_instrument_header_size = 29;

// Pads or cuts everything written since `start` to exactly `size` bytes, so a
// block is as long as its stored size field claims.
void fit_block(byte_writer& out, size_t start, size_t size) { out.bytes.resize(start + size, 0); }

bool is_empty(const xm_cell& cell) {
    return !cell.note && !cell.instrument && !cell.volume && !cell.effect && !cell.param;
}

void write_cell(byte_writer& out, const xm_cell& cell, xm_packing packing) {
    const uint8_t fields[5] = {cell.note, cell.instrument, cell.volume, cell.effect, cell.param};
    uint8_t flags = 0x80;
    for (int bit = 0; bit < 5; ++bit)
        if (fields[bit]) flags |= static_cast<uint8_t>(1 << bit);
    if (packing == xm_packing::unpacked || flags == 0x9f) {
        if (cell.note & 0x80) throw std::invalid_argument("an unpacked cell cannot hold a note of 128 or more");
        out.raw(fields, 5);
        return;
    }
    out.u8(flags);
    for (int bit = 0; bit < 5; ++bit)
        if (fields[bit]) out.u8(fields[bit]);
}

void write_pattern(byte_writer& out, const xm_pattern& pattern, uint16_t channels) {
    size_t cell_count = static_cast<size_t>(pattern.rows) * channels;
    if (pattern.cells.size() > cell_count) throw std::invalid_argument("more cells than rows x channels");
    bool all_empty = true;
    for (const xm_cell& cell : pattern.cells) all_empty = all_empty && is_empty(cell);

    byte_writer data;
    if (!(all_empty && pattern.omit_empty_data)) {
        for (size_t i = 0; i < cell_count; ++i)
            write_cell(data, i < pattern.cells.size() ? pattern.cells[i] : xm_cell{}, pattern.packing);
    }
    if (data.size() > 0xffff) throw std::invalid_argument("packed pattern data exceeds 65535 bytes");

    size_t start = out.size();
    out.u32(pattern.header_length).u8(pattern.packing_type).u16(pattern.rows).u16(static_cast<unsigned>(data.size()));
    fit_block(out, start, pattern.header_length);
    out.raw(data.bytes.data(), data.size());
}

void write_envelope_points(byte_writer& out, const xm_envelope& envelope) {
    if (envelope.points.size() > envelope_points_stored) throw std::invalid_argument("an envelope holds 12 points");
    for (size_t i = 0; i < envelope_points_stored; ++i) {
        xm_envelope_point point = i < envelope.points.size() ? envelope.points[i] : xm_envelope_point{};
        out.u16(point.tick).u16(point.value);
    }
}

uint8_t stored_point_count(const xm_envelope& envelope) {
    return envelope.stored_count ? *envelope.stored_count : static_cast<uint8_t>(envelope.points.size());
}

void write_instrument(byte_writer& out, const xm_instrument& instrument, xm_layout* layout) {
    uint16_t sample_count = instrument.stored_sample_count ? *instrument.stored_sample_count
                                                           : static_cast<uint16_t>(instrument.samples.size());
    bool full_header = sample_count > 0 || !instrument.samples.empty();
    uint32_t header_size = instrument.header_size
                               ? *instrument.header_size
                               : (full_header ? full_instrument_header_size : empty_instrument_header_size);

    size_t start = out.size();
    if (layout) layout->instrument_offsets.push_back(start);
    out.u32(header_size).text(instrument.name, 22).u8(instrument.type).u16(sample_count);
    if (full_header) {
        out.u32(instrument.sample_header_size);
        out.raw(instrument.keymap.data(), instrument.keymap.size());
        write_envelope_points(out, instrument.volume_envelope);
        write_envelope_points(out, instrument.panning_envelope);
        const xm_envelope& volume = instrument.volume_envelope;
        const xm_envelope& panning = instrument.panning_envelope;
        out.u8(stored_point_count(volume)).u8(stored_point_count(panning));
        out.u8(volume.sustain_point).u8(volume.loop_start).u8(volume.loop_end);
        out.u8(panning.sustain_point).u8(panning.loop_start).u8(panning.loop_end);
        out.u8(volume.type).u8(panning.type);
        out.u8(instrument.vibrato_type).u8(instrument.vibrato_sweep).u8(instrument.vibrato_depth);
        out.u8(instrument.vibrato_rate).u16(instrument.fadeout);
    }
    fit_block(out, start, header_size);

    for (const xm_sample& sample : instrument.samples) {
        size_t header_start = out.size();
        if (layout) layout->sample_headers.push_back(header_start);
        uint32_t length = sample.stored_length ? *sample.stored_length : static_cast<uint32_t>(sample.data.size());
        out.u32(length).u32(sample.loop_start).u32(sample.loop_length);
        out.u8(sample.volume).u8(static_cast<uint8_t>(sample.finetune)).u8(sample.type).u8(sample.panning);
        out.u8(static_cast<uint8_t>(sample.relative_note)).u8(0).text(sample.name, 22);
        fit_block(out, header_start, instrument.sample_header_size);
    }
    for (const xm_sample& sample : instrument.samples) {
        if (layout) layout->sample_data.push_back(out.size());
        out.raw(sample.data.data(), sample.data.size());
    }
}

}  // namespace

uint8_t xm_note(int octave, int semitone) { return static_cast<uint8_t>(octave * 12 + semitone + 1); }

std::vector<uint8_t> write_xm(const xm_song& song, xm_layout* layout) {
    if (song.orders.size() > 256) throw std::invalid_argument("the order table holds 256 entries");
    byte_writer out;
    out.text("Extended Module: ", 17).text(song.title, 20).u8(0x1a).text(song.tracker, 20).u16(song.version);
    out.u32(song.header_size);
    out.u16(song.song_length ? *song.song_length : static_cast<unsigned>(song.orders.size()));
    out.u16(song.restart_position).u16(song.channels);
    out.u16(song.stored_pattern_count ? *song.stored_pattern_count : static_cast<unsigned>(song.patterns.size()));
    out.u16(song.stored_instrument_count ? *song.stored_instrument_count
                                         : static_cast<unsigned>(song.instruments.size()));
    out.u16(song.flags).u16(song.tempo).u16(song.bpm);
    out.raw(song.orders.data(), song.orders.size()).fill(0, 256 - song.orders.size());
    fit_block(out, 0, header_fields_start + song.header_size);

    for (const xm_pattern& pattern : song.patterns) {
        if (layout) layout->pattern_offsets.push_back(out.size());
        write_pattern(out, pattern, song.channels);
    }
    for (const xm_instrument& instrument : song.instruments) write_instrument(out, instrument, layout);
    if (out.size() < song.minimum_size) out.fill(0, song.minimum_size - out.size());
    return out.bytes;
}

std::vector<uint8_t> xm_delta_8(const std::vector<int8_t>& pcm) {
    std::vector<uint8_t> stored;
    uint8_t previous = 0;
    for (int8_t value : pcm) {
        uint8_t current = static_cast<uint8_t>(value);
        stored.push_back(static_cast<uint8_t>(current - previous));
        previous = current;
    }
    return stored;
}

std::vector<uint8_t> xm_delta_16(const std::vector<int16_t>& pcm) {
    std::vector<uint8_t> stored;
    uint16_t previous = 0;
    for (int16_t value : pcm) {
        uint16_t current = static_cast<uint16_t>(value);
        uint16_t delta = static_cast<uint16_t>(current - previous);
        stored.push_back(static_cast<uint8_t>(delta & 0xff));
        stored.push_back(static_cast<uint8_t>(delta >> 8));
        previous = current;
    }
    return stored;
}
