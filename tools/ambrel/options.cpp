#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "commands.h"

namespace {

bool parse_number(const std::string& text, double& value, bool zero_allowed) {
    char* end = nullptr;
    double parsed = std::strtod(text.c_str(), &end);
    if (text.empty() || *end || !std::isfinite(parsed) || parsed < 0 || (parsed == 0 && !zero_allowed)) return false;
    value = parsed;
    return true;
}

bool parse_positive(const std::string& text, double& value) { return parse_number(text, value, false); }

bool refuse(const char* usage, const char* problem, const std::string& what) {
    if (what.empty())
        std::fprintf(stderr, "ambrel: %s\nusage: ambrel %s\n", problem, usage);
    else
        std::fprintf(stderr, "ambrel: %s '%s'\nusage: ambrel %s\n", problem, what.c_str(), usage);
    return false;
}

}  // namespace

bool parse_command_options(const argument_list& arguments, unsigned accepted, const char* usage,
                           command_options& options) {
    options.files.clear();
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        bool takes_value =
            argument == "-o" || argument == "--seconds" || argument == "--rounds" || argument == "--seek";
        if (argument == "--once" && (accepted & option_once)) {
            options.once = true;
            continue;
        }
        if (argument == "--length" && (accepted & option_length)) {
            options.length = true;
            continue;
        }
        if (!takes_value) {
            // "-" alone is a file name only where -o does not take it.
            if (argument.size() > 1 && argument[0] == '-') return refuse(usage, "unknown option", argument);
            options.files.push_back(argument);
            continue;
        }
        if (i + 1 == arguments.size()) return refuse(usage, "missing value after", argument);
        const std::string& value = arguments[++i];
        double number = 0;
        if (argument == "-o" && (accepted & option_output)) {
            options.output = value;
        } else if (argument == "--seconds" && (accepted & option_seconds)) {
            if (!parse_positive(value, number) || seconds_to_frames(number) == 0)
                return refuse(usage, "--seconds needs a positive number, not", value);
            options.seconds = number;
            options.seconds_given = true;
        } else if (argument == "--seek" && (accepted & option_seek)) {
            if (!parse_number(value, number, true)) return refuse(usage, "--seek needs a time in seconds, not", value);
            options.seek = number;
        } else if (argument == "--rounds" && (accepted & option_rounds)) {
            if (!parse_positive(value, number) || number != std::floor(number) || number > 1000)
                return refuse(usage, "--rounds needs a whole number from 1 to 1000, not", value);
            options.rounds = static_cast<int>(number);
        } else {
            return refuse(usage, "unknown option", argument);
        }
    }
    if (options.files.empty()) return refuse(usage, "no module given", "");
    if (options.once && options.seconds_given) return refuse(usage, "--once and --seconds exclude each other", "");
    return true;
}

uint64_t seconds_to_frames(double seconds) {
    double frames = std::round(seconds * module_session::output_rate);
    // Far beyond anything useful; keeps the conversion defined.
    return frames >= 9e18 ? static_cast<uint64_t>(9e18) : static_cast<uint64_t>(frames);
}
