#include <cinttypes>
#include <cstdio>

#include "commands.h"

namespace {
const char* const trace_usage = "trace FILE [--seconds N]";
constexpr double default_trace_seconds = 60;
}  // namespace

int command_trace(const argument_list& arguments) {
    command_options options;
    options.seconds = default_trace_seconds;
    if (!parse_command_options(arguments, option_seconds, trace_usage, options)) return 2;
    if (options.files.size() != 1) {
        std::fprintf(stderr, "usage: ambrel %s\n", trace_usage);
        return 2;
    }
    module_session session;
    if (int status = load_module_file(options.files[0], session)) return status;
    session.start();
    bool advanced = trace_song(session, seconds_to_frames(options.seconds), [](const traced_row& row) {
        std::printf("%" PRIu64 " %d %d\n", row.frame, row.order, row.row);
    });
    if (!advanced) {
        std::fprintf(stderr, "%s: playback stopped advancing (no tick length)\n", options.files[0].c_str());
        return 1;
    }
    return 0;
}
