// minihost.exe info and play: a file through the input that takes it, as the host plays it.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "minihost/app/command_line.h"
#include "minihost/host/dsp_chain.h"
#include "minihost/host/pcm_convert.h"

namespace minihost {

int info_command(command_context& context, const arguments_t& arguments);
// FILE [--seconds N] [--out OUT.wav] [--dsp NAME [--preset DATA]]...
int play_command(command_context& context, const arguments_t& arguments);

// Per file: the input that took it, its technical fields and its file statistics, or the failure
// text. Returns 0 when every file could be read, 1 otherwise.
int print_info(host& running, const std::vector<std::string>& files, std::ostream& out);

struct play_options {
    std::string file;     // UTF-8 path or URL of the file to play
    double seconds = 30;  // how much to decode: above 0, at most max_play_seconds
    std::string output;   // the WAV file to write, UTF-8
};

constexpr double max_play_seconds = 3600;

// FILE [--seconds N] [--out OUT.wav]; the output defaults to out/NAME.wav (NAME the file's name,
// extension included). False with `error` set when the arguments make no valid play command.
bool parse_play_arguments(const std::vector<std::string>& arguments, play_options& options, std::string& error);

// Decodes through the input that takes the file and writes what the host received, float chunks
// converted back to 16-bit, to a WAV file. A progress bar goes to standard error when that is a
// terminal; the last line gives frames decoded, peak and RMS. Returns 0, or 1 after printing the
// failure to standard error. The chunks go through `chain` first when one is given.
int play(host& running, const play_options& options, std::ostream& out, dsp_chain* chain = nullptr);

// "YYYY-MM-DD hh:mm:ss UTC" for a host file time; "unknown" for filetimestamp_invalid.
std::string format_file_time(uint64_t timestamp);

// Peak and RMS of 16-bit samples, full scale 1, summed in integers: exact, and cheap per sample.
class sample_levels {
public:
    void add(const int16_t* samples, size_t count);
    double peak() const { return peak_ / 32768.0; }
    double rms() const;

private:
    void add_each(const int16_t* samples, size_t count);

    uint32_t peak_ = 0;            // largest magnitude, 0..32768
    uint64_t sum_of_squares_ = 0;  // of the values, each below 2^30 + 1
    uint64_t count_ = 0;
};

}  // namespace minihost
