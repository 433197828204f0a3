// The demo tune: 125 BPM in A minor, four 64-row patterns of four bars
// (intro, verse, bridge with a repeated bar, finale with a ritardando), about
// 32 seconds before it starts over.
#include <algorithm>
#include <cstring>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "score.h"
#include "synth.h"

namespace demo {

namespace {

// MOD pans its channels right, left, left, right (S3M copies that): the kick
// sits opposite the bass, the lead opposite the pluck.
enum channel_index { kick_ch, bass_ch, hat_ch, lead_ch, snare_ch, pad_low_ch, pluck_ch, pad_high_ch, channel_total };
enum instrument_number { kick = 1, snare, hihat, bass, lead, pluck, pad };

constexpr uint8_t drum_note = 0x50;  // drums sound at their synthesis rate one octave up
constexpr int rows_per_bar = 16;

// Octaves between a note's real pitch and its packed note: 64-frame cycles
// sound an octave below 32-frame ones at the same packed note.
int octave_shift(int instrument) { return instrument == bass || instrument == pad ? 1 : 0; }

// Semitones from C0 of a note name such as "A4", "C#5" or "Bb3".
int semitone_of(const char* name) {
    static const int letters[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
    if (name[0] < 'A' || name[0] > 'G') throw std::invalid_argument(name);
    int semitone = letters[name[0] - 'A'];
    const char* rest = name + 1;
    if (*rest == '#')
        ++semitone, ++rest;
    else if (*rest == 'b')
        --semitone, ++rest;
    return (*rest - '0') * 12 + semitone;
}

uint8_t packed(int instrument, int semitones) {
    const int octave = semitones / 12 + octave_shift(instrument), semitone = semitones % 12;
    // Octaves 3 to 5 keep every note inside the classic MOD period range.
    if (octave < 3 || octave > 5) throw std::out_of_range("note outside octaves 3..5");
    return static_cast<uint8_t>(octave * 16 + semitone);
}

struct chord {
    const char* pluck_root;  // arpeggiated by the pluck
    uint8_t arpeggio;        // 0x37 minor, 0x47 major
    const char* bass_root;
    const char* pad_low;
    const char* pad_high;
};

const chord a_minor{"A4", 0x37, "A2", "C4", "E4"};
const chord f_major{"F4", 0x47, "F2", "C4", "F4"};
const chord c_major{"C5", 0x47, "C3", "C4", "E4"};
const chord g_major{"G4", 0x47, "G2", "B3", "D4"};
const chord d_minor{"D5", 0x37, "D3", "D4", "F4"};
const chord e_major{"E4", 0x47, "E2", "B3", "E4"};

// A chord held from `row` for `rows` rows of one pattern.
struct segment {
    int row;
    int rows;
    const chord* harmony;
};

class composer {
public:
    explicit composer(song& target) : song_(target) {}

    cell& at(int pattern, int row, int channel) { return song_.patterns.at(pattern).at(row, channel); }

    void play(int pattern, int row, int channel, int instrument, uint8_t note, int volume = -1) {
        cell& c = at(pattern, row, channel);
        if (c.note != note_none) throw std::logic_error("two notes in one cell");
        c.note = note;
        c.instrument = static_cast<uint8_t>(instrument);
        c.volume = volume;
    }
    void pitched(int pattern, int row, int channel, int instrument, const char* name, int volume = -1) {
        play(pattern, row, channel, instrument, packed(instrument, semitone_of(name)), volume);
    }
    void key_off(int pattern, int row, int channel) { at(pattern, row, channel).note = note_key_off; }
    // One effect per cell: MOD has room for no more.
    void apply(int pattern, int row, int channel, effect command, int param) {
        cell& c = at(pattern, row, channel);
        if (c.command != effect::none)
            throw std::logic_error("two effects in pattern " + std::to_string(pattern) + " row " + std::to_string(row) +
                                   " channel " + std::to_string(channel));
        c.command = command;
        c.param = static_cast<uint8_t>(param);
    }
    void apply_rows(int pattern, int first, int last, int channel, effect command, int param) {
        for (int row = first; row <= last; ++row) apply(pattern, row, channel, command, param);
    }

    // Replaces whatever effect the cell has (for ornaments over a melody).
    void replace(int pattern, int row, int channel, effect command, int param) {
        at(pattern, row, channel).command = effect::none;
        apply(pattern, row, channel, command, param);
    }

    // A melody line, one token per row: a note name, "-" to hold, "^" to
    // release. Notes held four rows or more get a vibrato from their third row.
    void melody(int pattern, int first_row, const char* line) {
        std::vector<std::string> tokens;
        for (const char* token = line; *token;) {
            const size_t length = std::strcspn(token, " ");
            if (length) tokens.emplace_back(token, length);
            token += length;
            if (*token) ++token;
        }
        for (size_t i = 0; i < tokens.size(); ++i) {
            const int row = first_row + static_cast<int>(i);
            if (tokens[i] == "-") continue;
            if (tokens[i] == "^") {
                key_off(pattern, row, lead_ch);
                continue;
            }
            pitched(pattern, row, lead_ch, lead, tokens[i].c_str());
            size_t held = 1;
            while (i + held < tokens.size() && tokens[i + held] == "-") ++held;
            if (held >= 4)
                apply_rows(pattern, row + 2, row + static_cast<int>(held) - 1, lead_ch, effect::vibrato, 0x43);
        }
    }

private:
    song& song_;
};

std::vector<instrument> make_instruments() {
    std::vector<instrument> list(7);
    instrument& k = list[kick - 1];
    k.name = "kick (sine sweep)";
    k.frames = synth_kick();
    k.volume = 64;

    instrument& s = list[snare - 1];
    s.name = "snare (tone + noise)";
    s.frames = synth_snare();
    s.volume = 50;
    s.xm_panning = 112;

    instrument& h = list[hihat - 1];
    h.name = "hi-hat (noise)";
    h.frames = synth_hihat();
    h.volume = 40;
    h.xm_16bit = false;
    h.xm_panning = 168;

    const pitched_sample bass_wave = synth_bass();
    instrument& b = list[bass - 1];
    b.name = "bass (filtered saw)";
    b.frames = bass_wave.frames;
    b.loop_start = bass_wave.loop_start;
    b.loop_length = bass_wave.loop_length;
    b.volume = 52;

    const pitched_sample lead_wave = synth_lead();
    instrument& l = list[lead - 1];
    l.name = "lead (round square)";
    l.frames = lead_wave.frames;
    l.loop_start = lead_wave.loop_start;
    l.loop_length = lead_wave.loop_length;
    l.volume = 44;
    l.xm_ping_pong = true;
    l.xm_panning = 136;
    // Swell, settle on the sustain point, and fade out after key off.
    l.xm_volume_envelope = {{{0, 24}, {3, 64}, {12, 48}, {40, 0}}, 2, -1, -1};
    l.xm_fadeout = 0x300;

    const pitched_sample pluck_wave = synth_pluck();
    instrument& p = list[pluck - 1];
    p.name = "pluck (bright saw)";
    p.frames = pluck_wave.frames;
    p.loop_start = pluck_wave.loop_start;
    p.loop_length = pluck_wave.loop_length;
    p.volume = 30;
    p.xm_16bit = false;
    p.xm_panning = 96;
    // A looping gate that pulses in eighth notes (two rows of six ticks).
    p.xm_volume_envelope = {{{0, 64}, {6, 30}, {12, 64}}, -1, 0, 2};

    const pitched_sample pad_wave = synth_pad();
    instrument& d = list[pad - 1];
    d.name = "pad (detuned saws)";
    d.frames = pad_wave.frames;
    d.loop_start = pad_wave.loop_start;
    d.loop_length = pad_wave.loop_length;
    d.volume = 30;
    // Slow attack up to the sustain point; release after key off.
    d.xm_volume_envelope = {{{0, 16}, {10, 64}, {30, 0}}, 1, -1, -1};
    // Sways left and right for as long as the note lasts.
    d.xm_panning_envelope = {{{0, 32}, {24, 50}, {48, 32}, {72, 14}, {96, 32}}, -1, 0, 4};
    d.xm_fadeout = 0x500;
    return list;
}

// Pads: both voices of every chord, held.
void pads(composer& score, int pattern, const std::vector<segment>& segments) {
    for (const segment& s : segments) {
        score.pitched(pattern, s.row, pad_low_ch, pad, s.harmony->pad_low);
        score.pitched(pattern, s.row, pad_high_ch, pad, s.harmony->pad_high);
    }
}

// Pluck: arpeggiated stabs in a 3-3-2 rhythm, each cut after two rows.
// In XM the stabs alternate between left and right.
void plucks(composer& score, int pattern, const std::vector<segment>& segments) {
    static const int stab_rows[] = {0, 3, 6, 8, 11, 14};
    for (const segment& s : segments) {
        const uint8_t note = packed(pluck, semitone_of(s.harmony->pluck_root));
        int stab = 0;
        for (int offset : stab_rows) {
            if (offset >= s.rows) break;
            const int row = s.row + offset;
            score.play(pattern, row, pluck_ch, pluck, note);
            score.at(pattern, row, pluck_ch).xm_volume_command = stab++ % 2 ? 0xCB : 0xC4;
            score.apply_rows(pattern, row, row + 1, pluck_ch, effect::arpeggio, s.harmony->arpeggio);
            const bool next_stab_follows =
                std::find(std::begin(stab_rows), std::end(stab_rows), offset + 2) != std::end(stab_rows);
            if (offset + 2 < s.rows && !next_stab_follows) score.apply(pattern, row + 2, pluck_ch, effect::note_cut, 1);
        }
    }
}

// Bass: eighth notes on root, octave and fifth; the offbeats are staccato.
void bassline(composer& score, int pattern, const std::vector<segment>& segments) {
    static const int steps[8] = {0, 0, 12, 0, 7, 0, 12, 7};
    for (const segment& s : segments) {
        const int root = semitone_of(s.harmony->bass_root);
        for (int step = 0; step * 2 < s.rows; ++step) {
            const int row = s.row + step * 2;
            score.play(pattern, row, bass_ch, bass, packed(bass, root + steps[step]));
            if (step % 4 == 1 || step % 4 == 3) score.apply(pattern, row, bass_ch, effect::note_cut, 4);
        }
    }
}

// Hi-hats on eighths, accented on the offbeat; `first` and `last` are rows.
void hihats(composer& score, int pattern, int first, int last) {
    for (int row = first; row <= last; row += 2)
        score.play(pattern, row, hat_ch, hihat, drum_note, row % 4 == 2 ? 40 : 22);
}

// Four-on-the-floor kick, backbeat snare, and a ghost snare that starts into
// its decay (sample offset) before bars 2 and 4.
void groove(composer& score, int pattern, int first_bar, int bars) {
    for (int bar = first_bar; bar < first_bar + bars; ++bar) {
        const int base = bar * rows_per_bar;
        for (int beat = 0; beat < 4; ++beat) score.play(pattern, base + beat * 4, kick_ch, kick, drum_note);
        score.play(pattern, base + 4, snare_ch, snare, drum_note);
        score.play(pattern, base + 12, snare_ch, snare, drum_note);
        if (bar % 2 == 1) {
            score.play(pattern, base + 14, snare_ch, snare, drum_note, 24);
            score.apply(pattern, base + 14, snare_ch, effect::sample_offset, 0x06);
        }
    }
}

const std::vector<segment> main_progression = {
    {0, 16, &a_minor}, {16, 16, &f_major}, {32, 16, &c_major}, {48, 16, &g_major}};

void intro(composer& score) {
    const int p = 0;
    // Row 0 restores speed and tempo each time the song comes round again.
    score.apply(p, 0, kick_ch, effect::set_speed, 6);
    score.apply(p, 0, snare_ch, effect::set_tempo, 125);
    pads(score, p, main_progression);
    // The pads swell in over the first bar, up to about their own volume.
    score.at(p, 0, pad_low_ch).volume = 6;
    score.at(p, 0, pad_high_ch).volume = 6;
    score.apply_rows(p, 1, 12, pad_low_ch, effect::fine_volume_up, 2);
    score.apply_rows(p, 1, 12, pad_high_ch, effect::fine_volume_up, 2);
    plucks(score, p, main_progression);
    hihats(score, p, 16, 63);
    score.pitched(p, 16, bass_ch, bass, "F2");
    bassline(score, p, {{32, 16, &c_major}, {48, 16, &g_major}});
    for (int row = 32; row < 64; row += 4) score.play(p, row, kick_ch, kick, drum_note);
    // Snare roll into the verse: retriggered ever faster and louder.
    const int roll[4][2] = {{56, 3}, {58, 3}, {60, 2}, {62, 1}};
    int volume = 20;
    for (const auto& hit : roll) {
        score.play(p, hit[0], snare_ch, snare, drum_note, volume);
        score.apply(p, hit[0], snare_ch, effect::retrigger, hit[1]);
        volume += 10;
    }
    // The lead enters with a bend up from D toward the verse's first E.
    score.pitched(p, 56, lead_ch, lead, "D5");
    score.apply_rows(p, 59, 62, lead_ch, effect::porta_up, 0x01);
}

void verse(composer& score) {
    const int p = 1;
    pads(score, p, main_progression);
    plucks(score, p, main_progression);
    bassline(score, p, main_progression);
    hihats(score, p, 0, 63);
    groove(score, p, 0, 4);
    score.melody(p, 0, "E5 - - - D5 - C5 - A4 - - - - - C5 -");
    score.melody(p, 16, "D5 - - - C5 - A4 - F4 - - - A4 - C5 -");
    score.melody(p, 32, "E5 - - - G5 - - - E5 - D5 - C5 - - -");
    score.melody(p, 48, "D5 - - - - - - - B4 - - - D5 - ^ -");
}

void bridge(composer& score) {
    const int p = 2;
    const std::vector<segment> progression = {
        {0, 16, &d_minor}, {16, 16, &a_minor}, {32, 8, &f_major}, {40, 8, &g_major}, {48, 8, &e_major}};
    pads(score, p, progression);
    // The pads shimmer through the first two bars.
    score.apply_rows(p, 1, 31, pad_low_ch, effect::tremolo, 0x46);
    score.apply_rows(p, 1, 31, pad_high_ch, effect::tremolo, 0x46);
    plucks(score, p, progression);
    bassline(score, p, progression);
    // The bass glides from D down into the A bar.
    score.apply(p, 16, bass_ch, effect::tone_porta, 0x20);
    hihats(score, p, 0, 55);
    // Half-time drums.
    for (int bar = 0; bar < 4; ++bar) {
        const int base = bar * rows_per_bar;
        if (base >= 56) break;
        score.play(p, base, kick_ch, kick, drum_note);
        if (base + 10 < 56) score.play(p, base + 10, kick_ch, kick, drum_note);
        if (base + 8 < 56) score.play(p, base + 8, snare_ch, snare, drum_note);
    }
    // Bar 3 plays twice; the pattern ends after half of bar 4. Both loop
    // commands share a channel: ProTracker and FastTracker keep the loop
    // start per channel.
    score.apply(p, 32, kick_ch, effect::pattern_loop, 0);
    score.apply(p, 47, kick_ch, effect::pattern_loop, 1);
    score.apply(p, 55, kick_ch, effect::pattern_break, 0);

    score.melody(p, 0, "F5 - - - A5 - - - G5 - F5 - E5 - D5 -");
    // Glide up to the A.
    score.replace(p, 4, lead_ch, effect::tone_porta, 0x05);
    score.replace(p, 5, lead_ch, effect::tone_porta, 0x05);
    score.melody(p, 16, "E5 - - - - - - - C5 - - - - - - -");
    // XM fades the held E with its volume column; every format lets the C fall off.
    for (int row = 18; row <= 23; ++row) score.at(p, row, lead_ch).xm_volume_command = 0x61;
    for (int row = 28; row <= 31; ++row) score.replace(p, row, lead_ch, effect::porta_down, 0x03);
    score.melody(p, 32, "A4 - C5 - F5 - - - G4 - B4 - D5 - - -");
    score.melody(p, 48, "E5 - - - G#5 - - -");
}

void finale(composer& score) {
    const int p = 3;
    pads(score, p, main_progression);
    plucks(score, p, main_progression);
    bassline(score, p, main_progression);
    hihats(score, p, 0, 63);
    groove(score, p, 0, 3);
    for (int row = 48; row < 64; row += 4) score.play(p, row, kick_ch, kick, drum_note);
    score.play(p, 52, snare_ch, snare, drum_note);
    score.play(p, 60, snare_ch, snare, drum_note);
    score.melody(p, 0, "A5 - - - G5 - E5 - - - D5 - E5 - - -");
    score.melody(p, 16, "C5 - - - D5 - E5 - F5 - E5 - D5 - C5 -");
    score.melody(p, 32, "E5 - - - G5 - - - A5 - G5 - E5 - D5 -");
    score.melody(p, 48, "B4 - - - - - - - D5 - - - ^ - - -");
    // The held E shimmers as a broken A minor seventh.
    for (int row = 7; row <= 9; ++row) score.replace(p, row, lead_ch, effect::arpeggio, 0x38);
    // Ritardando, pads fading and released; then back to the top.
    const int slowing[4][2] = {{57, 118}, {59, 110}, {61, 100}, {63, 90}};
    for (const auto& step : slowing) score.apply(p, step[0], snare_ch, effect::set_tempo, step[1]);
    score.apply_rows(p, 56, 59, pad_low_ch, effect::volume_slide, 0x01);
    score.apply_rows(p, 56, 59, pad_high_ch, effect::volume_slide, 0x01);
    score.key_off(p, 60, pad_low_ch);
    score.key_off(p, 60, pad_high_ch);
    score.apply(p, 63, kick_ch, effect::position_jump, 0);
}

}  // namespace

song compose_demo_song() {
    song result;
    result.title = "kiv_ambrel demo";
    result.channels = channel_total;
    result.speed = 6;
    result.tempo = 125;
    result.instruments = make_instruments();
    result.patterns.assign(4, pattern(channel_total));
    result.orders = {0, 1, 2, 3};
    composer score(result);
    intro(score);
    verse(score);
    bridge(score);
    finale(score);
    return result;
}

}  // namespace demo
