// ambrel: command-line front end of the kiv_ambrel module library.
#include <cstdio>
#include <cstring>

#include "commands.h"

namespace {

struct command_entry {
    const char* name;
    int (*run)(const argument_list&);
    const char* usage;
};

const command_entry commands[] = {
    {"info", command_info, "info FILE                                  print what the module holds and its duration"},
    {"render", command_render,
     "render FILE [-o OUT.wav|-] [--seconds N | --once] [--seek SECONDS]\n"
     "                                                    render to a 44100 Hz 16-bit stereo WAV (default\n"
     "                                                    out/FILENAME.wav, 60 s; '-' raw PCM to stdout);\n"
     "                                                    --once: the song's first pass; --seek: start there"},
    {"trace", command_trace, "trace FILE [--seconds N]                   print FRAME ORDER ROW for every row read"},
    {"bench", command_bench,
     "bench [--seconds N] [--rounds N] FILE...   render speed against libopenmpt and libxmp (300 s, 3 rounds)\n"
     "  ambrel bench --length [--rounds N] FILE...        time of the length pass and of a seek to its end"},
};

int usage() {
    std::fprintf(stderr, "usage: ambrel COMMAND ARGS...\n");
    for (const command_entry& command : commands) std::fprintf(stderr, "  ambrel %s\n", command.usage);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    argument_list arguments(argv + 2, argv + argc);
    for (const command_entry& command : commands)
        if (std::strcmp(argv[1], command.name) == 0) return command.run(arguments);
    std::fprintf(stderr, "ambrel: unknown command '%s'\n", argv[1]);
    return usage();
}
