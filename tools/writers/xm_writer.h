// Builds FastTracker II extended modules byte by byte from a description in
// the file's own raw terms: header fields as stored, pattern cells as raw
// note/instrument/volume/effect/parameter bytes, sample headers with lengths
// and loop points in bytes and sample data already delta-coded as stored.
// The defaults give a minimal valid file (4 channels, one empty 64-row
// pattern, no instruments, padded to the 1024 bytes a player expects).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Raw note values of a pattern cell.
enum : uint8_t {
    xm_no_note = 0,
    xm_key_off = 97,
};

// Note number 1..96 of an octave 0..7 and semitone 0..11 (0 = C).
uint8_t xm_note(int octave, int semitone);

struct xm_cell {
    uint8_t note = 0;        // 0 none, 1..96 notes, 97 key off
    uint8_t instrument = 0;  // 1-based, 0 none
    uint8_t volume = 0;      // volume column byte as stored, 0 none
    uint8_t effect = 0;      // effect type 0..35
    uint8_t param = 0;       // effect parameter
};

enum class xm_packing {
    packed,    // flag byte and the fields present; all five fields present: a plain 5-byte cell
    unpacked,  // every cell as 5 plain bytes
};

struct xm_pattern {
    uint16_t rows = 64;          // 1..256 in FastTracker II
    std::vector<xm_cell> cells;  // row by row, `channels` per row; missing trailing cells are empty
    xm_packing packing = xm_packing::packed;
    bool omit_empty_data = true;  // an all-empty pattern is stored with packed size 0
    uint32_t header_length = 9;   // bytes of the pattern header, padded with zeros past 9
    uint8_t packing_type = 0;     // as stored, unused by players
};

struct xm_envelope_point {
    uint16_t tick = 0;   // ticks from the start of the envelope
    uint16_t value = 0;  // 0..64
};

struct xm_envelope {
    std::vector<xm_envelope_point> points;  // up to 12 stored
    std::optional<uint8_t> stored_count;    // point count byte; default points.size()
    uint8_t sustain_point = 0;              // point index
    uint8_t loop_start = 0;                 // point index
    uint8_t loop_end = 0;                   // point index
    uint8_t type = 0;                       // bit 0 on, bit 1 sustain, bit 2 loop
};

enum : uint8_t {
    xm_envelope_on = 1,
    xm_envelope_sustain = 2,
    xm_envelope_loop = 4,
};

enum : uint8_t {
    xm_loop_none = 0,
    xm_loop_forward = 1,
    xm_loop_ping_pong = 2,
    xm_sample_16bit = 0x10,
};

struct xm_sample {
    std::vector<uint8_t> data;              // stored bytes (delta-coded, see xm_delta_8/16)
    std::optional<uint32_t> stored_length;  // length field in bytes; default data.size()
    uint32_t loop_start = 0;                // bytes (twice the frame for 16-bit data)
    uint32_t loop_length = 0;               // bytes
    uint8_t volume = 64;                    // 0..64
    int8_t finetune = 0;                    // -128..127
    uint8_t type = 0;                       // bits 0-1 loop type, bit 4 16-bit
    uint8_t panning = 128;                  // 0..255
    int8_t relative_note = 0;               // semitones
    std::string name;                       // up to 22 bytes
};

struct xm_instrument {
    std::string name;                     // up to 22 bytes
    uint8_t type = 0;                     // as stored, unused by players
    std::optional<uint32_t> header_size;  // default 263 with samples, 29 without
    uint32_t sample_header_size = 40;     // distance between sample headers
    std::array<uint8_t, 96> keymap{};     // sample index (within this instrument) per note
    xm_envelope volume_envelope;
    xm_envelope panning_envelope;
    uint8_t vibrato_type = 0, vibrato_sweep = 0, vibrato_depth = 0, vibrato_rate = 0;
    uint16_t fadeout = 0;                         // 0..4095 in FastTracker II
    std::optional<uint16_t> stored_sample_count;  // default samples.size()
    std::vector<xm_sample> samples;
};

struct xm_song {
    std::string title;                   // up to 20 bytes
    std::string tracker = "kiv_ambrel";  // up to 20 bytes
    uint16_t version = 0x0104;
    uint32_t header_size = 276;           // from offset 60; pattern data follows at 60 + this
    std::vector<uint8_t> orders = {0};    // up to 256 pattern numbers
    std::optional<uint16_t> song_length;  // default orders.size()
    uint16_t restart_position = 0;
    uint16_t channels = 4;  // file channels
    uint16_t flags = 1;     // bit 0 linear frequency table
    uint16_t tempo = 6;     // ticks per row
    uint16_t bpm = 125;
    std::vector<xm_pattern> patterns = {xm_pattern{}};
    std::optional<uint16_t> stored_pattern_count;  // default patterns.size()
    std::vector<xm_instrument> instruments;
    std::optional<uint16_t> stored_instrument_count;  // default instruments.size()
    size_t minimum_size = 1024;                       // zero bytes appended after the last sample up to this size
};

// Where the writer put things, for tests that patch the result.
struct xm_layout {
    std::vector<size_t> pattern_offsets;     // pattern header of each pattern
    std::vector<size_t> instrument_offsets;  // instrument header of each instrument
    std::vector<size_t> sample_headers;      // every sample header, in file order
    std::vector<size_t> sample_data;         // every sample's data, in file order
};

std::vector<uint8_t> write_xm(const xm_song& song, xm_layout* layout = nullptr);

// Delta coding as the file stores sample data: each stored value is the
// difference to the previous one (16-bit values little-endian).
std::vector<uint8_t> xm_delta_8(const std::vector<int8_t>& pcm);
std::vector<uint8_t> xm_delta_16(const std::vector<int16_t>& pcm);
