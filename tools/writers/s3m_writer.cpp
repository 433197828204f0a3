#include "s3m_writer.h"

#include <algorithm>

#include "byte_writer.h"

namespace {

constexpr size_t header_size = 96;
constexpr size_t sample_header_size = 80;
constexpr size_t rows_per_pattern = 64;
constexpr uint8_t panning_table_present = 252;

std::vector<uint8_t> pack_rows(const s3m_pattern& pattern) {
    if (!pattern.raw.empty()) return pattern.raw;
    byte_writer stream;
    for (size_t row = 0; row < rows_per_pattern; ++row) {
        if (row < pattern.rows.size()) {
            for (const s3m_entry& entry : pattern.rows[row]) {
                unsigned what = entry.channel & 31;
                if (entry.note >= 0) what |= 32;
                if (entry.volume >= 0) what |= 64;
                if (entry.command >= 0) what |= 128;
                stream.u8(what);
                if (entry.note >= 0) stream.u8(entry.note).u8(entry.instrument);
                if (entry.volume >= 0) stream.u8(entry.volume);
                if (entry.command >= 0) stream.u8(entry.command).u8(entry.param);
            }
        }
        stream.u8(0);
    }
    return stream.bytes;
}

uint32_t stored_length(const s3m_sample& sample) {
    if (sample.length) return *sample.length;
    size_t frames = sample.data.size();
    if (sample.flags & 4) frames /= 2;
    if (sample.flags & 2) frames /= 2;
    return static_cast<uint32_t>(frames);
}

void write_sample_header(byte_writer& file, const s3m_sample& sample, size_t data_offset) {
    size_t paragraph = data_offset / 16;
    file.u8(sample.type).text(sample.file_name, 12);
    file.u8((paragraph >> 16) & 0xff).u16(paragraph & 0xffff);
    file.u32(stored_length(sample)).u32(sample.loop_start).u32(sample.loop_end);
    file.u8(sample.volume).u8(0).u8(sample.pack).u8(sample.flags);
    file.u32(sample.c2spd).fill(0, 12);
    file.text(sample.name, 28).text(sample.signature, 4);
}

}  // namespace

std::vector<uint8_t> write_s3m(const s3m_song& song, s3m_layout* layout) {
    s3m_layout where;
    byte_writer file;
    file.text(song.title, 28).u8(song.end_of_file_mark).u8(song.type).u16(0);
    file.u16(song.orders.size()).u16(song.samples.size()).u16(song.patterns.size());
    file.u16(song.flags).u16(song.tracker_version).u16(song.sample_format).text("SCRM", 4);
    file.u8(song.global_volume).u8(song.initial_speed).u8(song.initial_tempo).u8(song.master_volume);
    file.u8(song.ultra_click_removal).u8(song.channel_panning.empty() ? 0 : panning_table_present);
    file.fill(0, 8).u16(0);  // reserved, special pointer
    file.raw(song.channel_settings.data(), song.channel_settings.size());

    where.orders = file.size();
    file.raw(song.orders.data(), song.orders.size());
    where.sample_pointers = file.size();
    file.fill(0, 2 * song.samples.size());
    where.pattern_pointers = file.size();
    file.fill(0, 2 * song.patterns.size());
    file.raw(song.channel_panning.data(), song.channel_panning.size());
    file.align(16);

    // Sample headers first, patterns next, sample data last (as Scream Tracker lays them out);
    // the headers are patched once the data offsets are known.
    for (size_t i = 0; i < song.samples.size(); ++i) {
        where.sample_headers.push_back(file.size());
        file.patch_u16(where.sample_pointers + 2 * i, file.size() / 16);
        file.fill(0, sample_header_size);
    }
    for (size_t p = 0; p < song.patterns.size(); ++p) {
        file.align(16);
        where.pattern_data.push_back(file.size());
        file.patch_u16(where.pattern_pointers + 2 * p, file.size() / 16);
        std::vector<uint8_t> stream = pack_rows(song.patterns[p]);
        file.u16(stream.size() + 2).raw(stream.data(), stream.size());
    }
    for (size_t i = 0; i < song.samples.size(); ++i) {
        const s3m_sample& sample = song.samples[i];
        size_t data_offset = 0;
        if (!sample.data.empty()) {
            file.align(16);
            data_offset = file.size();
            file.raw(sample.data.data(), sample.data.size());
        }
        where.sample_data.push_back(data_offset);
        byte_writer header;
        write_sample_header(header, sample, data_offset);
        std::copy(header.bytes.begin(), header.bytes.end(), file.bytes.begin() + where.sample_headers[i]);
    }
    if (layout) *layout = where;
    return file.bytes;
}

std::vector<uint8_t> s3m_pcm8(const std::vector<int8_t>& values, bool unsigned_storage) {
    std::vector<uint8_t> stored;
    for (int8_t value : values) stored.push_back(static_cast<uint8_t>(value) ^ (unsigned_storage ? 0x80 : 0));
    return stored;
}

std::vector<uint8_t> s3m_pcm16(const std::vector<int16_t>& values, bool unsigned_storage) {
    byte_writer stored;
    for (int16_t value : values) stored.u16(static_cast<uint16_t>(value) ^ (unsigned_storage ? 0x8000 : 0));
    return stored.bytes;
}
