#include "mod_writer.h"

#include <stdexcept>

#include "byte_writer.h"

namespace {

const uint16_t amiga_periods[9][12] = {
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

uint16_t mod_period(int octave, int semitone) { return amiga_periods[octave][semitone]; }

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
