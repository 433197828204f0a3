#include "minihost/app/script_command.h"

#include <cstdio>
#include <fstream>
#include <iostream>

#include "zorb/files.h"

namespace minihost {
namespace {

int run_lines(command_context& context, std::istream& in, const std::string& name) {
    std::string text;
    for (size_t number = 1; std::getline(in, text); ++number) {
        arguments_t words;
        script_line line;
        std::string error;
        if (!split_script_line(text, words, error) || (!words.empty() && !parse_script_line(words, line, error))) {
            context.out.flush();
            std::fprintf(stderr, "minihost: %s:%zu: %s\n", name.c_str(), number, error.c_str());
            return 2;
        }
        if (words.empty()) continue;
        const int status =
            run_command(context.running, *line.chosen, line.arguments, line.settings, context.session, context.out);
        if (status != 0) {
            std::fprintf(stderr, "minihost: %s:%zu: the script stops here\n", name.c_str(), number);
            return status;
        }
    }
    return 0;
}

}  // namespace

int script_command(command_context& context, const arguments_t& arguments) {
    if (arguments.size() != 1) throw usage_error("script needs one FILE, or - for standard input");
    if (arguments[0] == "-") return run_lines(context, std::cin, "standard input");
    std::ifstream file(zorb::native_path(arguments[0]));
    if (!file) throw zorb::exception("Cannot read the script " + arguments[0]);
    return run_lines(context, file, arguments[0]);
}

}  // namespace minihost
