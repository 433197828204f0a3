#include "minihost/commands_info_play.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#ifdef _WIN32
#include <io.h>
#define stderr_is_terminal() (_isatty(_fileno(stderr)) != 0)
#else
#include <unistd.h>
#define stderr_is_terminal() (isatty(STDERR_FILENO) != 0)
#endif

#include "minihost/host_records.h"
#include "minihost/input_registry.h"

namespace minihost {
namespace {

constexpr int64_t file_time_units_per_second = 10000000;
constexpr int64_t seconds_from_1601_to_1970 = 11644473600;

std::filesystem::path native_path(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// A 16-bit PCM WAV file whose sizes are filled in when it is finished.
class wav_file {
public:
    static constexpr uint32_t header_bytes = 44;

    wav_file(const std::string& path, unsigned rate, unsigned channels) : path_(path), channels_(channels) {
        const std::filesystem::path local = native_path(path);
        if (local.has_parent_path()) std::filesystem::create_directories(local.parent_path());
        stream_.open(local, std::ios::binary | std::ios::trunc);
        if (!stream_) throw velmora_io::exception_io("Cannot write " + path);
        write_header(rate, 0);
    }
    void write(const int16_t* samples, size_t count) {
        for (size_t i = 0; i < count; ++i) {
            const auto value = uint16_t(samples[i]);
            const char bytes[2] = {char(value & 0xFF), char(value >> 8)};
            stream_.write(bytes, 2);
        }
        data_bytes_ += 2 * uint64_t(count);
    }
    void finish(unsigned rate) {
        if (data_bytes_ > 0xFFFFFFFFull - header_bytes) throw velmora_io::exception_io("Too much audio for " + path_);
        stream_.seekp(0);
        write_header(rate, uint32_t(data_bytes_));
        if (!stream_.flush()) throw velmora_io::exception_io("Cannot write " + path_);
    }

private:
    void put(uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) stream_.put(char((value >> (8 * i)) & 0xFF));
    }
    void write_header(unsigned rate, uint32_t data_bytes) {
        const uint32_t block = channels_ * 2;
        stream_.write("RIFF", 4);
        put(header_bytes - 8 + data_bytes, 4);
        stream_.write("WAVEfmt ", 8);
        put(16, 4);
        put(1, 2);  // integer PCM
        put(channels_, 2);
        put(rate, 4);
        put(rate * block, 4);
        put(block, 2);
        put(16, 2);
        stream_.write("data", 4);
        put(data_bytes, 4);
    }

    std::string path_;
    unsigned channels_;
    std::ofstream stream_;
    uint64_t data_bytes_ = 0;
};

// One line on standard error, redrawn when the shown percentage changes; only on a terminal.
class progress_line {
public:
    progress_line(std::string label, uint64_t total)
        : label_(std::move(label)), total_(total), visible_(stderr_is_terminal()) {}
    ~progress_line() {
        if (visible_ && shown_ >= 0) std::fputc('\n', stderr);
    }
    void update(uint64_t done) {
        if (!visible_ || total_ == 0) return;
        const int percent = int(std::min(done, total_) * 100 / total_);
        if (percent == shown_) return;
        shown_ = percent;
        constexpr int width = 40;
        const int filled = percent * width / 100;
        std::fprintf(stderr, "\r%s [%s%s] %3d%%", label_.c_str(), std::string(size_t(filled), '#').c_str(),
                     std::string(size_t(width - filled), ' ').c_str(), percent);
        std::fflush(stderr);
    }

private:
    std::string label_;
    uint64_t total_;
    bool visible_;
    int shown_ = -1;
};

std::string decibels(double level) {
    if (level <= 0) return "-inf";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", 20 * std::log10(level));
    return text;
}

}  // namespace

std::string format_file_time(uint64_t timestamp) {
    if (timestamp == filetimestamp_invalid) return "unknown";
    using namespace std::chrono;
    const sys_seconds time{seconds(int64_t(timestamp / file_time_units_per_second) - seconds_from_1601_to_1970)};
    const sys_days day = floor<days>(time);
    const year_month_day date{day};
    const hh_mm_ss clock{time - day};
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d:%02d UTC", int(date.year()), unsigned(date.month()),
                  unsigned(date.day()), int(clock.hours().count()), int(clock.minutes().count()),
                  int(clock.seconds().count()));
    return text;
}

int16_t sample_to_int16(float sample) {
    const float scaled = std::nearbyint(sample * 32768.0f);
    if (std::isnan(scaled)) return 0;
    if (scaled < -32768.0f) return -32768;
    if (scaled > 32767.0f) return 32767;
    return int16_t(scaled);
}

int print_info(host& running, const std::vector<std::string>& files, std::ostream& out) {
    input_registry inputs(running);
    abort_callback_dummy abort;
    int status = 0;
    for (const std::string& path : files) {
        try {
            service_ptr_t<input_entry> input = inputs.find(path);
            service_ptr_t<input_info_reader> reader;
            input->open_for_info_read(reader, {}, path.c_str(), abort);
            file_info_impl info;
            reader->read_info(reader->subsong_at(0), info, abort);
            const file_stats stats = reader->query_file_stats(abort);
            out << path << ": " << input_name(input) << '\n';
            for (const auto& [name, value] : info.info()) out << "  " << name << ": " << value << '\n';
            out << "  file size: " << stats.size << " bytes\n"
                << "  file time: " << format_file_time(stats.timestamp) << '\n';
        } catch (const std::exception& failure) {
            out << path << ": " << failure.what() << '\n';
            status = 1;
        }
    }
    out.flush();
    return status;
}

bool parse_play_arguments(const std::vector<std::string>& arguments, play_options& options, std::string& error) {
    options = {};
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--seconds" || argument == "--out") {
            if (i + 1 == arguments.size()) {
                error = argument + " needs a value";
                return false;
            }
            const std::string& value = arguments[++i];
            if (argument == "--out") {
                options.output = value;
                continue;
            }
            char* end = nullptr;
            const double seconds = std::strtod(value.c_str(), &end);
            if (value.empty() || *end != '\0' || !(seconds > 0 && seconds <= max_play_seconds)) {
                error = "--seconds needs a number above 0 and at most 3600, not " + value;
                return false;
            }
            options.seconds = seconds;
        } else if (argument.starts_with("--") || !options.file.empty()) {
            error = "unexpected argument " + argument;
            return false;
        } else {
            options.file = argument;
        }
    }
    if (options.file.empty()) {
        error = "play needs a file";
        return false;
    }
    if (options.output.empty()) options.output = "out/" + file_name_of(options.file) + ".wav";
    return true;
}

int play(host& running, const play_options& options, std::ostream& out) {
    try {
        input_registry inputs(running);
        abort_callback_dummy abort;
        service_ptr_t<input_decoder> decoder = inputs.open_for_decoding(options.file, abort);
        decoder->initialize(decoder->subsong_at(0), 0, abort);

        audio_chunk_impl chunk;
        std::unique_ptr<wav_file> wav;
        std::unique_ptr<progress_line> progress;
        std::vector<int16_t> pcm;
        unsigned rate = 0, channels = 0;
        uint64_t wanted = 0, written = 0;
        double peak = 0, sum_of_squares = 0;
        while ((wav == nullptr || written < wanted) && decoder->run(chunk, abort)) {
            if (wav == nullptr) {
                rate = chunk.get_sample_rate();
                channels = chunk.get_channels();
                if (rate == 0 || channels == 0) throw velmora_io::exception_io_data("The decoder gave no audio format");
                wanted = uint64_t(std::llround(options.seconds * rate));
                wav = std::make_unique<wav_file>(options.output, rate, channels);
                progress = std::make_unique<progress_line>(file_name_of(options.file), wanted);
            } else if (chunk.get_sample_rate() != rate || chunk.get_channels() != channels) {
                throw velmora_io::exception_io_data("The audio format changed while decoding");
            }
            const uint64_t frames = std::min<uint64_t>(chunk.get_sample_count(), wanted - written);
            pcm.resize(size_t(frames) * channels);
            for (size_t i = 0; i < pcm.size(); ++i) {
                pcm[i] = sample_to_int16(chunk.get_data()[i]);
                const double level = std::abs(double(pcm[i])) / 32768;
                peak = std::max(peak, level);
                sum_of_squares += level * level;
            }
            wav->write(pcm.data(), pcm.size());
            written += frames;
            progress->update(written);
        }
        if (wav == nullptr) throw velmora_io::exception_io_data("The decoder gave no audio");
        wav->finish(rate);
        progress.reset();
        const double values = double(written) * channels;
        out << options.output << ": " << written << " frames decoded, peak " << decibels(peak) << " dBFS, RMS "
            << decibels(values ? std::sqrt(sum_of_squares / values) : 0) << " dBFS\n";
        out.flush();
        return 0;
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "minihost: %s: %s\n", options.file.c_str(), failure.what());
        return 1;
    }
}

}  // namespace minihost
