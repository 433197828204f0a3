#include "minihost/app/input_commands.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#if defined(__i386__) || defined(__x86_64__)
#include <emmintrin.h>
#define AMBREL_SSE2_CONVERSION 1
#endif

#include "minihost/app/dsp_commands.h"
#include "minihost/host/host_records.h"
#include "minihost/host/input_registry.h"
#include "tools/progress/progress_bar.h"
#include "tools/writers/wav_writer.h"
#include "zorb/files.h"

namespace minihost {
namespace {

constexpr int64_t file_time_units_per_second = 10000000;
constexpr int64_t seconds_from_1601_to_1970 = 11644473600;

// A WAV file for what play decodes, with its folder made first.
std::unique_ptr<wav_writer> create_wav(const std::string& path, unsigned rate, unsigned channels) {
    const std::filesystem::path local = zorb::native_path(path);
    if (local.has_parent_path()) std::filesystem::create_directories(local.parent_path());
    auto wav = std::make_unique<wav_writer>();
    if (!wav->open(path, rate, channels)) throw velmora_io::exception_io(wav->error());
    return wav;
}

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
    const sys_seconds time{
        seconds(static_cast<int64_t>(timestamp / file_time_units_per_second) - seconds_from_1601_to_1970)};
    const sys_days day = floor<days>(time);
    const year_month_day date{day};
    const hh_mm_ss clock{time - day};
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d:%02d UTC", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()));
    return text;
}

int16_t sample_to_int16(float sample) {
    const float scaled = sample * 32768.0f;
    // Out of range (and NaN) is settled before rounding; lrint rounds to nearest, ties to even, as
    // nearbyint does, but without the rounding-mode dance that makes nearbyint slow on 32-bit x86.
    if (!(scaled > -32768.5f)) return std::isnan(scaled) ? 0 : -32768;
    if (scaled >= 32767.5f) return 32767;
    return static_cast<int16_t>(std::lrint(scaled));
}

#ifdef AMBREL_SSE2_CONVERSION
// Eight samples a step: squares summed in pairs and then in 64 bits, and the extremes kept as they
// are, since the magnitude of -32768 has no 16-bit form.
__attribute__((target("sse2"))) void sample_levels::add(const int16_t* samples, size_t count) {
    __m128i sums = _mm_setzero_si128(), highest = _mm_set1_epi16(0), lowest = _mm_set1_epi16(0);
    const __m128i zero = _mm_setzero_si128();
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m128i values = _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + i));
        const __m128i pairs = _mm_madd_epi16(values, values);  // up to 2^31 each: unsigned
        sums = _mm_add_epi64(sums, _mm_unpacklo_epi32(pairs, zero));
        sums = _mm_add_epi64(sums, _mm_unpackhi_epi32(pairs, zero));
        highest = _mm_max_epi16(highest, values);
        lowest = _mm_min_epi16(lowest, values);
    }
    alignas(16) uint64_t sum_lanes[2];
    alignas(16) int16_t high_lanes[8], low_lanes[8];
    _mm_store_si128(reinterpret_cast<__m128i*>(sum_lanes), sums);
    _mm_store_si128(reinterpret_cast<__m128i*>(high_lanes), highest);
    _mm_store_si128(reinterpret_cast<__m128i*>(low_lanes), lowest);
    sum_of_squares_ += sum_lanes[0] + sum_lanes[1];
    for (int lane = 0; lane < 8; ++lane) {
        peak_ = std::max(peak_, static_cast<uint32_t>(high_lanes[lane]));
        peak_ = std::max(peak_, static_cast<uint32_t>(-static_cast<int32_t>(low_lanes[lane])));
    }
    count_ += i;
    add_each(samples + i, count - i);
}
#else
void sample_levels::add(const int16_t* samples, size_t count) { add_each(samples, count); }
#endif

void sample_levels::add_each(const int16_t* samples, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const int32_t value = samples[i];
        const auto magnitude = static_cast<uint32_t>(value < 0 ? -value : value);
        peak_ = std::max(peak_, magnitude);
        sum_of_squares_ += static_cast<uint64_t>(magnitude) * magnitude;
    }
    count_ += count;
}

double sample_levels::rms() const {
    return count_ ? std::sqrt(static_cast<double>(sum_of_squares_) / static_cast<double>(count_)) / 32768 : 0;
}

#ifdef AMBREL_SSE2_CONVERSION
// Eight samples a step: NaN made 0, clamped, rounded as the processor rounds (to nearest, ties to
// even, the state every thread starts in), packed to 16 bits. The 32-bit build may not assume SSE2
// elsewhere, so only this function is built for it.
__attribute__((target("sse2"))) void samples_to_int16(const float* samples, size_t count, int16_t* out) {
    const __m128 scale = _mm_set1_ps(32768.0f), lowest = _mm_set1_ps(-32768.0f), highest = _mm_set1_ps(32767.0f);
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        __m128 low = _mm_mul_ps(_mm_loadu_ps(samples + i), scale);
        __m128 high = _mm_mul_ps(_mm_loadu_ps(samples + i + 4), scale);
        low = _mm_max_ps(_mm_min_ps(_mm_and_ps(low, _mm_cmpord_ps(low, low)), highest), lowest);
        high = _mm_max_ps(_mm_min_ps(_mm_and_ps(high, _mm_cmpord_ps(high, high)), highest), lowest);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                         _mm_packs_epi32(_mm_cvtps_epi32(low), _mm_cvtps_epi32(high)));
    }
    for (; i < count; ++i) out[i] = sample_to_int16(samples[i]);
}
#else
void samples_to_int16(const float* samples, size_t count, int16_t* out) {
    for (size_t i = 0; i < count; ++i) out[i] = sample_to_int16(samples[i]);
}
#endif

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
            if (info.get_length() > 0) out << "  length: " << info.get_length() << " s\n";
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

int play(host& running, const play_options& options, std::ostream& out, dsp_chain* chain) {
    try {
        input_registry inputs(running);
        abort_callback_dummy abort;
        service_ptr_t<input_decoder> decoder = inputs.open_for_decoding(options.file, abort);
        decoder->initialize(decoder->subsong_at(0), 0, abort);

        audio_chunk_impl chunk;
        std::unique_ptr<wav_writer> wav;
        std::unique_ptr<progress_bar> progress;
        std::vector<int16_t> pcm;
        sample_levels levels;
        unsigned rate = 0, channels = 0;
        uint64_t wanted = 0, written = 0;
        while ((wav == nullptr || written < wanted) && decoder->run(chunk, abort)) {
            if (chain && !run_dsp_chain_on(*chain, chunk, 0, abort)) continue;
            if (wav == nullptr) {
                rate = chunk.get_sample_rate();
                channels = chunk.get_channels();
                if (rate == 0 || channels == 0) throw velmora_io::exception_io_data("The decoder gave no audio format");
                wanted = static_cast<uint64_t>(std::llround(options.seconds * rate));
                wav = create_wav(options.output, rate, channels);
                progress = std::make_unique<progress_bar>(file_name_of(options.file), wanted);
            } else if (chunk.get_sample_rate() != rate || chunk.get_channels() != channels) {
                throw velmora_io::exception_io_data("The audio format changed while decoding");
            }
            const uint64_t frames = std::min<uint64_t>(chunk.get_sample_count(), wanted - written);
            pcm.resize(static_cast<size_t>(frames) * channels);
            samples_to_int16(chunk.get_data(), pcm.size(), pcm.data());
            levels.add(pcm.data(), pcm.size());
            if (!wav->write(pcm.data(), pcm.size())) throw velmora_io::exception_io(wav->error());
            written += frames;
            progress->update(written);
        }
        if (wav == nullptr) throw velmora_io::exception_io_data("The decoder gave no audio");
        if (chain) chain->end_playback(abort);
        if (!wav->finish()) throw velmora_io::exception_io(wav->error());
        progress.reset();
        out << options.output << ": " << written << " frames decoded, peak " << decibels(levels.peak()) << " dBFS, RMS "
            << decibels(levels.rms()) << " dBFS\n";
        out.flush();
        return 0;
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "minihost: %s: %s\n", options.file.c_str(), failure.what());
        return 1;
    }
}

int info_command(command_context& context, const arguments_t& arguments) {
    if (arguments.empty()) throw usage_error("info needs a file");
    return print_info(context.running, arguments, context.out);
}

int play_command(command_context& context, const arguments_t& arguments) {
    arguments_t rest = arguments;
    std::vector<dsp_choice> dsps;
    play_options request;
    std::string error;
    if (!take_dsp_options(rest, dsps, error) || !parse_play_arguments(rest, request, error)) throw usage_error(error);
    dsp_chain chain(context.running);
    load_play_chain(context.running, dsps, context.running.profile().dsp_chain_file(), chain);
    return play(context.running, request, context.out, &chain);
}

}  // namespace minihost
