#include <stdexcept>

#include "demo_songs.h"
#include "mod_writer.h"
#include "synth.h"

namespace demo {

namespace {

std::string channel_signature(int channels) {
    if (channels == 4) return "M.K.";
    if (channels < 10) return std::to_string(channels) + "CHN";
    return std::to_string(channels) + "CH";
}

mod_sample convert_sample(const instrument& source) {
    mod_sample sample;
    sample.name = source.name;
    sample.volume = source.volume;
    sample.data = to_8bit(source.frames);
    // MOD counts lengths and loops in 16-bit words.
    if (source.frames.size() % 2 || source.loop_start % 2 || source.loop_length % 2)
        throw std::invalid_argument("MOD sample lengths and loops must be even");
    if (source.loop_length) {
        sample.loop_start = static_cast<uint16_t>(source.loop_start / 2);
        sample.loop_length = static_cast<uint16_t>(source.loop_length / 2);
    }
    return sample;
}

// MOD has one effect per cell and no volume column: a volume is written as
// command C when the cell has no other effect, and key off becomes C00.
mod_cell convert_cell(const cell& source) {
    mod_cell out;
    out.sample = source.instrument;
    if (source.note < note_key_off) out.period = mod_period(source.note >> 4, source.note & 15);
    const tracker_command command = protracker_command(source.command, source.param);
    out.command = static_cast<uint8_t>(command.command);
    out.param = command.param;
    if (source.note == note_key_off) {
        if (source.command != effect::none) throw std::invalid_argument("key off with an effect");
        out.command = 0xC;
        out.param = 0;
    } else if (source.volume >= 0 && source.command == effect::none) {
        out.command = 0xC;
        out.param = static_cast<uint8_t>(source.volume);
    }
    return out;
}

}  // namespace

std::vector<uint8_t> write_mod_song(const song& score) {
    mod_file file;
    file.title = score.title;
    file.channels = score.channels;
    file.signature = channel_signature(score.channels);
    file.restart = 0;
    for (const instrument& source : score.instruments) file.samples.push_back(convert_sample(source));
    file.orders = score.orders;
    file.patterns.clear();
    for (const pattern& source : score.patterns) {
        mod_pattern out(score.channels);
        for (int row = 0; row < score_rows; ++row)
            for (int channel = 0; channel < score.channels; ++channel)
                out.at(row, channel) = convert_cell(source.at(row, channel));
        file.patterns.push_back(out);
    }
    // MOD has no header speed or tempo; the score sets both on its first row.
    return write_mod(file);
}

}  // namespace demo
