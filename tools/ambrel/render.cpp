#include <cstdio>
#include <filesystem>
#include <system_error>

#include "commands.h"
#include "pcm_levels.h"
#include "tools/progress/progress_bar.h"
#include "tools/writers/wav_writer.h"

namespace {

const char* const render_usage = "render FILE [-o OUT.wav|-] [--seconds N]";
constexpr double default_render_seconds = 60;

// out/NAME.wav beside the build tree, NAME being the module's file name
// (demo.xm gives out/demo.xm.wav), so renders of different formats never collide.
std::string default_output_path(const std::string& module_path) {
    return (std::filesystem::path("out") / std::filesystem::path(module_path).filename()).string() + ".wav";
}

bool make_parent_directory(const std::string& path) {
    std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (parent.empty()) return true;
    std::error_code error;
    std::filesystem::create_directories(parent, error);
    if (error) std::fprintf(stderr, "%s: %s\n", parent.string().c_str(), error.message().c_str());
    return !error;
}

}  // namespace

int command_render(const argument_list& arguments) {
    command_options options;
    options.seconds = default_render_seconds;
    if (!parse_command_options(arguments, option_output | option_seconds, render_usage, options)) return 2;
    if (options.files.size() != 1) {
        std::fprintf(stderr, "usage: ambrel %s\n", render_usage);
        return 2;
    }
    const std::string& module_path = options.files[0];
    module_session session;
    if (int status = load_module_file(module_path, session)) return status;
    session.start();

    bool to_stdout = options.output == "-";
    std::string output_path = options.output.empty() ? default_output_path(module_path) : options.output;
    if (options.output.empty() && !make_parent_directory(output_path)) return 1;
    uint64_t frames = seconds_to_frames(options.seconds);
    if (!to_stdout && frames * module_session::frame_bytes > wav_writer::max_data_bytes) {
        std::fprintf(stderr, "%s: a WAV file holds at most %llu frames\n", output_path.c_str(),
                     static_cast<unsigned long long>(wav_writer::max_data_bytes / module_session::frame_bytes));
        return 1;
    }
    wav_writer output;
    if (!output.open(output_path, module_session::output_rate, 2)) {
        std::fprintf(stderr, "%s\n", output.error().c_str());
        return 1;
    }

    level_meter levels;
    uint64_t written = 0;
    {
        progress_bar progress(std::filesystem::path(module_path).filename().string(), frames);
        render_song(session, frames, [&](const i16* stereo, size_t count) {
            output.write(stereo, count * 2);
            levels.add(stereo, count);
            written += count;
            progress.update(written);
        });
    }
    if (!output.finish()) {
        std::fprintf(stderr, "%s\n", output.error().c_str());
        return 1;
    }

    // With PCM on standard output the summary must not mix into it.
    const module_context& context = session.context();
    std::fprintf(to_stdout ? stderr : stdout, "%s: %s, %d channels, %.1f s rendered, peak %.1f dBFS, RMS %.1f dBFS\n",
                 to_stdout ? module_path.c_str() : output_path.c_str(), format_name(context.format_id),
                 context.channel_count - 1, static_cast<double>(frames) / module_session::output_rate,
                 level_meter::decibels(levels.peak()), level_meter::decibels(levels.rms()));
    return 0;
}
