// The demo song as a score that belongs to no format: instruments with their
// synthesized samples, patterns of cells with notes and effects named by what
// they do, and the order list. The MOD, S3M and XM writers convert it, so the
// three files share one composition.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace demo {

// Packed note: octave * 16 + semitone (0 = C .. 11 = B); 0x40 plays a sample
// at its own rate (8363 Hz) in all three formats.
enum : uint8_t {
    note_key_off = 254,  // XM key off; note cut in S3M; volume 0 in MOD
    note_none = 255,
};

enum class effect : uint8_t {
    none,
    arpeggio,          // xy: semitones of the second and third note
    porta_up,          // xx: pitch slide up per tick (1..0xDF)
    porta_down,        // xx: pitch slide down per tick (1..0xDF)
    tone_porta,        // xx: glide speed toward the cell's note
    vibrato,           // xy: speed, depth
    tremolo,           // xy: speed, depth
    volume_slide,      // x0 up or 0y down per tick
    fine_volume_up,    // x: once per row
    fine_volume_down,  // x: once per row
    sample_offset,     // xx: start at xx * 256 frames
    set_speed,         // 1..31 ticks per row
    set_tempo,         // 32..255 BPM
    pattern_loop,      // 0 marks the loop start, x plays the loop x more times
    pattern_break,     // row 0..9 of the next pattern
    position_jump,     // order index
    note_cut,          // x: silence on tick x
    retrigger,         // x: restart the note every x ticks
};

struct cell {
    uint8_t note = note_none;
    uint8_t instrument = 0;  // 1-based; 0 none
    int volume = -1;         // 0..64; -1 none. MOD keeps it only on cells without effect.
    effect command = effect::none;
    uint8_t param = 0;
    uint8_t xm_volume_command = 0;  // XM only: a volume-column effect byte (0x60..0xEF); 0 none
};

struct envelope {
    struct point {
        uint16_t tick;
        uint16_t value;  // 0..64
    };
    std::vector<point> points;  // empty: no envelope
    int sustain = -1;           // point index; -1 none
    int loop_start = -1;        // point indices; -1 no loop
    int loop_end = -1;
};

struct instrument {
    std::string name;
    std::vector<int16_t> frames;  // 16-bit PCM; MOD and S3M store it as 8-bit
    uint32_t loop_start = 0;      // frame
    uint32_t loop_length = 0;     // frames; 0 no loop
    uint8_t volume = 64;          // default volume 0..64
    // What only XM can express:
    bool xm_16bit = true;
    bool xm_ping_pong = false;
    uint8_t xm_panning = 128;  // 0 left .. 255 right
    envelope xm_volume_envelope;
    envelope xm_panning_envelope;
    uint16_t xm_fadeout = 0;  // taken from the fadeout volume (32768) every tick after key off
};

constexpr int score_rows = 64;

struct pattern {
    int channels = 0;
    std::vector<cell> cells;  // score_rows x channels, row by row

    explicit pattern(int channel_count)
        : channels(channel_count), cells(static_cast<size_t>(score_rows) * channel_count) {}
    cell& at(int row, int channel) { return cells.at(static_cast<size_t>(row) * channels + channel); }
    const cell& at(int row, int channel) const { return cells.at(static_cast<size_t>(row) * channels + channel); }
};

struct song {
    std::string title;  // up to 20 characters
    int channels = 0;
    uint8_t speed = 6;    // ticks per row at the start
    uint8_t tempo = 125;  // BPM at the start
    std::vector<instrument> instruments;
    std::vector<pattern> patterns;
    std::vector<uint8_t> orders;
};

// The composition of all three demo songs.
song compose_demo_song();

}  // namespace demo
