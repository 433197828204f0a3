#include <stdexcept>

#include "demo_songs.h"
#include "s3m_writer.h"
#include "synth.h"

namespace demo {

namespace {

constexpr bool unsigned_storage = true;  // as Scream Tracker 3 itself stores samples

s3m_sample convert_sample(const instrument& source) {
    s3m_sample sample;
    sample.name = source.name;
    sample.volume = source.volume;
    if (source.loop_length) {
        sample.flags = 1;
        sample.loop_start = source.loop_start;
        sample.loop_end = source.loop_start + source.loop_length;
    }
    sample.data = s3m_pcm8(to_8bit(source.frames), unsigned_storage);
    return sample;
}

s3m_entry convert_cell(const cell& source, int channel) {
    s3m_entry entry;
    entry.channel = static_cast<uint8_t>(channel);
    if (source.note != note_none) {
        entry.note = source.note == note_key_off ? s3m_note_cut : source.note;
        entry.instrument = source.instrument;
    }
    entry.volume = source.volume;
    if (source.command != effect::none) {
        const tracker_command command = scream_tracker_command(source.command, source.param);
        entry.command = command.command;
        entry.param = command.param;
    }
    return entry;
}

bool is_empty(const cell& source) {
    return source.note == note_none && source.volume < 0 && source.command == effect::none;
}

}  // namespace

std::vector<uint8_t> write_s3m_song(const song& score) {
    s3m_song file;
    file.title = score.title;
    file.sample_format = unsigned_storage ? 2 : 1;
    file.initial_speed = score.speed;
    file.initial_tempo = score.tempo;
    // The MOD layout of left and right channels (right, left, left, right, ...),
    // so the three songs sit alike in the stereo field.
    file.channel_settings.fill(255);
    int left = 0, right = 8;
    for (int channel = 0; channel < score.channels; ++channel) {
        const bool is_left = channel % 4 == 1 || channel % 4 == 2;
        file.channel_settings[channel] = static_cast<uint8_t>(is_left ? left++ : right++);
    }
    if (left > 8 || right > 16) throw std::invalid_argument("too many channels for S3M");
    file.orders = score.orders;
    if (file.orders.size() % 2) file.orders.push_back(255);  // Scream Tracker keeps the list even
    for (const instrument& source : score.instruments) file.samples.push_back(convert_sample(source));
    file.patterns.clear();
    for (const pattern& source : score.patterns) {
        s3m_pattern out;
        out.rows.resize(score_rows);
        for (int row = 0; row < score_rows; ++row)
            for (int channel = 0; channel < score.channels; ++channel)
                if (!is_empty(source.at(row, channel)))
                    out.rows[row].push_back(convert_cell(source.at(row, channel), channel));
        file.patterns.push_back(out);
    }
    return write_s3m(file);
}

}  // namespace demo
