// Builds Amiga Pro/Soundtracker MOD files from a description in the format's
// own terms: raw header bytes, periods, 4-byte cells and signed 8-bit sample
// data. The defaults give a minimal valid "M.K." file (4 channels, one empty
// pattern, no sample data). Tests make malformed files by changing the
// description or patching the returned bytes; the demo songs are written
// with the same code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One cell as the file stores it: sample 0..255 (0 none), period 0..4095
// (0 no note), command 0..15, parameter 0..255.
struct mod_cell {
    uint8_t sample = 0;
    uint16_t period = 0;
    uint8_t command = 0;
    uint8_t param = 0;
};

// 64 rows of `channels` cells, row by row.
struct mod_pattern {
    int channels;                 // cells per row, 1..32
    std::vector<mod_cell> cells;  // 64 x channels

    explicit mod_pattern(int channel_count = 4)
        : channels(channel_count), cells(64 * static_cast<size_t>(channel_count)) {}
    mod_cell& at(int row, int channel) { return cells.at(static_cast<size_t>(row) * channels + channel); }
    const mod_cell& at(int row, int channel) const { return cells.at(static_cast<size_t>(row) * channels + channel); }
};

struct mod_sample {
    std::string name;          // up to 22 bytes
    uint8_t finetune = 0;      // header byte: 0..7 up, 8..15 down (-8..-1)
    uint8_t volume = 64;       // 0..64
    uint16_t loop_start = 0;   // in 16-bit words
    uint16_t loop_length = 1;  // in 16-bit words; 1 or 0 = no loop
    std::vector<int8_t> data;  // signed 8-bit; an odd count is padded with one zero byte
};

struct mod_file {
    std::string title;                // up to 20 bytes
    int header_count = 31;            // sample headers: 31 (with signature) or 15 (without)
    std::string signature = "M.K.";   // 4 bytes at offset 1080; written only with 31 headers
    int channels = 4;                 // cells per row written to the pattern data
    std::vector<mod_sample> samples;  // up to header_count; the remaining headers are empty
    int song_length = -1;             // song length byte; -1: the number of orders
    uint8_t restart = 127;            // restart byte, as old trackers wrote it
    std::vector<uint8_t> orders{0};   // up to 128 entries; the rest of the list is zero
    std::vector<mod_pattern> patterns{mod_pattern()};
};

// Offsets in a written file, for tests that patch bytes.
size_t mod_sample_header_offset(int index);  // 30-byte header of sample `index` (0-based)
size_t mod_song_length_offset(int header_count);
size_t mod_pattern_data_offset(int header_count);

// Period of a packed note (octave * 16 + semitone, octaves 0..8) in the Amiga
// period table without finetune; 428 is octave 4 semitone 0 (0x40).
uint16_t mod_period(int octave, int semitone);

std::vector<uint8_t> write_mod(const mod_file& file);
