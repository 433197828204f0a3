#include "mod_writer.h"

#include <stdexcept>

#include "byte_writer.h"
#include "mod_periods.h"

namespace {

size_t padded_size(const mod_sample& sample) { return (sample.data.size() + 1) & ~static_cast<size_t>(1); }

void write_sample_header(byte_writer& out, const mod_sample& sample) {
    if (padded_size(sample) / 2 > 0xffff) throw std::invalid_argument("MOD sample longer than 65535 words");
    out.text(sample.name, 22);
    out.u16be(static_cast<unsigned>(padded_size(sample) / 2));
    out.u8(sample.finetune).u8(sample.volume);
    out.u16be(sample.loop_start).u16be(sample.loop_length);
}

}  // namespace

size_t mod_sample_header_offset(int index) { return 20 + 30 * static_cast<size_t>(index); }
size_t mod_song_length_offset(int header_count) { return 20 + 30 * static_cast<size_t>(header_count); }
size_t mod_pattern_data_offset(int header_count) { return header_count == 15 ? 600 : 1084; }

uint16_t mod_period(int octave, int semitone) { return mod_octave_periods[octave][semitone]; }

std::vector<uint8_t> write_mod(const mod_file& file) {
    if (file.header_count != 15 && file.header_count != 31)
        throw std::invalid_argument("MOD has 15 or 31 sample headers");
    if (file.samples.size() > static_cast<size_t>(file.header_count))
        throw std::invalid_argument("too many MOD samples");
    if (file.orders.size() > 128) throw std::invalid_argument("MOD order list holds 128 entries");

    byte_writer out;
    out.text(file.title, 20);
    for (int i = 0; i < file.header_count; ++i) {
        if (static_cast<size_t>(i) < file.samples.size()) {
            write_sample_header(out, file.samples[i]);
        } else {
            write_sample_header(out, mod_sample{"", 0, 0, 0, 0, {}});
        }
    }
    out.u8(file.song_length >= 0 ? static_cast<unsigned>(file.song_length) : static_cast<unsigned>(file.orders.size()));
    out.u8(file.restart);
    for (size_t i = 0; i < 128; ++i) out.u8(i < file.orders.size() ? file.orders[i] : 0);
    if (file.header_count == 31) out.text(file.signature, 4);

    for (const mod_pattern& pattern : file.patterns) {
        for (int row = 0; row < 64; ++row) {
            for (int channel = 0; channel < file.channels; ++channel) {
                mod_cell cell = channel < pattern.channels ? pattern.at(row, channel) : mod_cell{};
                out.u8((cell.sample & 0xf0) | ((cell.period >> 8) & 0x0f));
                out.u8(cell.period & 0xff);
                out.u8(((cell.sample & 0x0f) << 4) | (cell.command & 0x0f));
                out.u8(cell.param);
            }
        }
    }
    for (const mod_sample& sample : file.samples) {
        out.raw(sample.data.data(), sample.data.size());
        if (sample.data.size() % 2) out.u8(0);
    }
    return out.bytes;
}
