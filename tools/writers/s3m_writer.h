// Builds Scream Tracker 3 modules byte by byte from a description in the
// format's own terms: header fields, channel settings, the order list, sample
// headers with their stored data, and packed patterns as lists of entries.
// The defaults give a minimal valid file (four channels, one empty pattern),
// and every field a real tracker writes can be set, so the result is a
// complete, playable S3M.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Command byte of an effect letter: 'A' -> 1 ... 'Z' -> 26.
constexpr int s3m_command(char letter) { return letter - 'A' + 1; }
// Note byte: octave in the high nibble, semitone (0 = C .. 11 = B) in the low one.
constexpr uint8_t s3m_note(int octave, int semitone) { return static_cast<uint8_t>(octave * 16 + semitone); }
constexpr uint8_t s3m_note_cut = 254;

// One packed entry of a row: what follows the byte w (channel and presence bits).
struct s3m_entry {
    uint8_t channel = 0;     // file channel 0..31
    int note = -1;           // note byte 0..255, written with `instrument`; -1 leaves both out
    uint8_t instrument = 0;  // 1-based instrument slot, 0 none
    int volume = -1;         // volume byte 0..64 (any byte is stored); -1 none
    int command = -1;        // command byte, 1 = A .. 26 = Z (any byte is stored); -1 none
    uint8_t param = 0;       // command parameter
};

struct s3m_pattern {
    // Rows 0..63 as entry lists; rows not given are written empty.
    std::vector<std::vector<s3m_entry>> rows;
    // When non-empty, written verbatim as the packed stream instead of `rows`.
    std::vector<uint8_t> raw;
};

struct s3m_sample {
    uint8_t type = 1;                // 1 PCM sample; 0 empty slot; 2.. AdLib
    std::string file_name;           // 12-byte DOS file name at header offset 1
    std::optional<uint32_t> length;  // frames; derived from `data`, the flags and the pack bytes when unset
    uint32_t loop_start = 0;         // frame
    uint32_t loop_end = 0;           // frame after the loop
    uint8_t volume = 64;             // 0..64
    uint8_t pack = 0;                // 0 unpacked PCM
    uint8_t flags = 0;               // bit 0 loop, bit 1 stereo, bit 2 16-bit
    uint32_t c2spd = 8363;           // Hz at middle C
    std::string name;                // 28 bytes, not terminated when full
    std::string signature = "SCRS";  // 4 bytes at header offset 76
    // Sample data exactly as stored: 8-bit bytes or 16-bit little-endian words,
    // in the song's signedness, a stereo sample's left channel then its right.
    std::vector<uint8_t> data;
};

struct s3m_song {
    std::string title;  // 28 bytes, not terminated when full
    uint8_t end_of_file_mark = 0x1a;
    uint8_t type = 16;                  // 16 = Scream Tracker 3 module
    uint8_t flags = 0;                  // bit 1 ST2 tempo .. bit 6 fast volume slides
    uint16_t tracker_version = 0x1320;  // stored little-endian: 0x20 then 0x13
    uint16_t sample_format = 2;         // 1 signed, 2 unsigned sample data
    uint8_t global_volume = 64;         // 0..64
    uint8_t initial_speed = 6;          // ticks per row
    uint8_t initial_tempo = 125;        // BPM
    uint8_t master_volume = 0xb0;       // bit 7 stereo, bits 0-6 volume
    uint8_t ultra_click_removal = 16;
    // Setting per file channel: 0..7 left, 8..15 right PCM channels, 255 unused.
    std::array<uint8_t, 32> channel_settings = {0,   8,   1,   9,   255, 255, 255, 255, 255, 255, 255,
                                                255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255,
                                                255, 255, 255, 255, 255, 255, 255, 255, 255, 255};
    std::vector<uint8_t> orders = {0, 255};  // pattern numbers; 254 skip marker, 255 end marker
    std::vector<s3m_sample> samples;         // instrument slots 1..n
    std::vector<s3m_pattern> patterns = {s3m_pattern{}};
    // Per-channel panning table (bit 5 set: low nibble pans 0 left .. 15 right);
    // written after the parapointers, and announced in the header, only when given.
    std::vector<uint8_t> channel_panning;
};

// Where the writer put each part, for tests that patch the result.
struct s3m_layout {
    size_t orders = 0;                   // offset of the order list
    size_t sample_pointers = 0;          // offset of the instrument parapointer table
    size_t pattern_pointers = 0;         // offset of the pattern parapointer table
    std::vector<size_t> sample_headers;  // per slot
    std::vector<size_t> sample_data;     // per slot; 0 for a slot without data
    std::vector<size_t> pattern_data;    // per pattern: the packed-length word
};

std::vector<uint8_t> write_s3m(const s3m_song& song, s3m_layout* layout = nullptr);

// Stored forms of signed PCM in the song's signedness (sample_format 2 = unsigned).
std::vector<uint8_t> s3m_pcm8(const std::vector<int8_t>& values, bool unsigned_storage);
std::vector<uint8_t> s3m_pcm16(const std::vector<int16_t>& values, bool unsigned_storage);
