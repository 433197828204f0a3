#include <stdexcept>

#include "demo_songs.h"
#include "synth.h"
#include "xm_writer.h"

namespace demo {

namespace {

xm_envelope convert_envelope(const envelope& source) {
    xm_envelope out;
    if (source.points.empty()) return out;
    if (source.points.size() > 12) throw std::invalid_argument("XM envelopes hold 12 points");
    for (const envelope::point& p : source.points) out.points.push_back({p.tick, p.value});
    out.type = xm_envelope_on;
    if (source.sustain >= 0) {
        out.type |= xm_envelope_sustain;
        out.sustain_point = static_cast<uint8_t>(source.sustain);
    }
    if (source.loop_start >= 0) {
        out.type |= xm_envelope_loop;
        out.loop_start = static_cast<uint8_t>(source.loop_start);
        out.loop_end = static_cast<uint8_t>(source.loop_end);
    }
    return out;
}

xm_sample convert_sample(const instrument& source) {
    xm_sample sample;
    sample.name = source.name;
    sample.volume = source.volume;
    sample.panning = source.xm_panning;
    // Loop points are stored in bytes.
    const uint32_t frame_bytes = source.xm_16bit ? 2 : 1;
    if (source.loop_length) {
        sample.type = source.xm_ping_pong ? xm_loop_ping_pong : xm_loop_forward;
        sample.loop_start = source.loop_start * frame_bytes;
        sample.loop_length = source.loop_length * frame_bytes;
    }
    if (source.xm_16bit) {
        sample.type |= xm_sample_16bit;
        sample.data = xm_delta_16(source.frames);
    } else {
        sample.data = xm_delta_8(to_8bit(source.frames));
    }
    return sample;
}

xm_instrument convert_instrument(const instrument& source) {
    xm_instrument out;
    out.name = source.name;
    out.volume_envelope = convert_envelope(source.xm_volume_envelope);
    out.panning_envelope = convert_envelope(source.xm_panning_envelope);
    out.fadeout = source.xm_fadeout;
    out.samples.push_back(convert_sample(source));  // the keymap sends every note to it
    return out;
}

xm_cell convert_cell(const cell& source) {
    xm_cell out;
    if (source.note == note_key_off)
        out.note = xm_key_off;
    else if (source.note != note_none)
        out.note = xm_note(source.note >> 4, source.note & 15);
    out.instrument = source.instrument;
    if (source.volume >= 0 && source.xm_volume_command) throw std::invalid_argument("volume column used twice");
    if (source.volume >= 0)
        out.volume = static_cast<uint8_t>(0x10 + source.volume);
    else
        out.volume = source.xm_volume_command;
    const tracker_command command = protracker_command(source.command, source.param);
    out.effect = static_cast<uint8_t>(command.command);
    out.param = command.param;
    return out;
}

}  // namespace

std::vector<uint8_t> write_xm_song(const song& score) {
    xm_song file;
    file.title = score.title;
    file.channels = static_cast<uint16_t>(score.channels);
    file.flags = 1;  // linear frequency table
    file.tempo = score.speed;
    file.bpm = score.tempo;
    file.orders = score.orders;
    file.patterns.clear();
    for (const pattern& source : score.patterns) {
        xm_pattern out;
        out.rows = score_rows;
        for (const cell& c : source.cells) out.cells.push_back(convert_cell(c));
        file.patterns.push_back(out);
    }
    for (const instrument& source : score.instruments) file.instruments.push_back(convert_instrument(source));
    return write_xm(file);
}

}  // namespace demo
