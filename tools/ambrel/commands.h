// Subcommands of the `ambrel` tool. Each takes the arguments after its name
// and returns the process exit status.
#pragma once

#include <string>
#include <vector>

#include "module.h"
#include "module_session.h"

typedef std::vector<std::string> argument_list;

int command_info(const argument_list& arguments);
int command_render(const argument_list& arguments);
int command_trace(const argument_list& arguments);
int command_bench(const argument_list& arguments);

// Reads a whole file. On failure prints "FILE: reason" to standard error and
// returns false.
bool read_whole_file(const std::string& path, std::vector<u8>& contents);

// Reads and loads a module into a fresh session; on failure prints
// "FILE: Unsupported file format" (or why the file could not be read) and
// returns the exit status (2 unreadable, 1 not loadable); 0 on success.
int load_module_file(const std::string& path, module_session& session);

// The first pass of a loaded session; on failure prints "FILE: reason" and returns false.
bool measure_song(const std::string& path, const module_session& session, module_pass& pass);

// Seconds of a frame count at the output rate.
double frames_to_seconds(uint64_t frames);

// "MOD", "S3M", "XM" or "unknown".
const char* format_name(u32 format_id);

// Options shared by the rendering commands:
// FILE... [-o OUT] [--seconds N | --once] [--seek SECONDS] [--rounds N] [--length].
struct command_options {
    std::vector<std::string> files;
    std::string output;  // -o value; empty when not given
    double seconds = 0;  // --seconds, > 0
    int rounds = 0;      // --rounds, > 0
    bool seconds_given = false;
    bool once = false;    // --once: the song's first pass
    double seek = 0;      // --seek, seconds >= 0
    bool length = false;  // --length: time the length pass instead of rendering
};

// Which options a command takes besides its files.
enum option_flags : unsigned {
    option_output = 1,
    option_seconds = 2,
    option_rounds = 4,
    option_once = 8,
    option_seek = 16,
    option_length = 32,
};

// Parses the arguments into `options` (whose fields hold the defaults). On a
// problem prints it and the usage to standard error and returns false.
bool parse_command_options(const argument_list& arguments, unsigned accepted, const char* usage,
                           command_options& options);

// Output frames in `seconds` at the module output rate, rounded to the nearest frame.
uint64_t seconds_to_frames(double seconds);
