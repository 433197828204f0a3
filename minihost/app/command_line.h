// minihost.exe's command line: the host options, the options every command takes, the table of
// commands and running one of them.
//
// A command is a row of the table (command_table.cpp): its name, its usage text and its handler.
// A new command is a handler in a file of its topic and one row more. An option that every command
// takes (and a script line may give for itself) is a row of command_option_table and a field of
// command_settings.
#pragma once

#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "minihost/host/host.h"
#include "zorb/exception.h"

namespace minihost {

using arguments_t = std::vector<std::string>;

// What a command works with: the started host (its profile, its services), where its report goes,
// and the settings of minihost's own command line, which hold for every line of a script.
struct command_context {
    host& running;
    std::ostream& out;
    const command_settings& session;
};

// A command line that a command cannot take. The text says what is wrong; the command's usage
// follows it on standard error, and the exit status is 2.
ZORB_DECLARE_EXCEPTION(usage_error, zorb::exception, "Invalid command line");

struct command {
    const char* name;
    // What follows "minihost [options]": the command's forms, each followed by what it does, on
    // lines indented as the usage text shows them.
    const char* usage;
    // Runs the command with its own arguments on a started host; the exit status, 0 or 1 after a
    // failure that it reported. Raises usage_error for arguments it cannot take; any other failure
    // it raises is printed and gives 1.
    int (*handler)(command_context& context, const arguments_t& arguments);
};

// Every command, in the order the usage text lists them.
std::span<const command> command_table();
// The command named `name`, or null.
const command* find_command(std::string_view name);

// An option that every command takes, with a value: on minihost's command line for the session, on
// a script line for that line.
struct command_option {
    const char* name;   // "--web-map"
    const char* usage;  // its line in the usage text
    // Adds the option's `value` to `settings`; false with `error` set when it cannot take it.
    bool (*take)(const std::string& value, command_settings& settings, std::string& error);
};

std::span<const command_option> command_option_table();

struct command_options {
    const command* chosen = nullptr;
    arguments_t arguments;       // the command's own arguments
    std::string component_path;  // UTF-8
    std::string profile_folder;  // UTF-8
    std::string config_path;     // UTF-8
    command_settings settings;   // the options every command takes, for the whole session
};

constexpr char default_component_name[] = "kiv_ambrel.dll";

// Reads the arguments (without the program name): the host options --component PATH, --profile
// DIR and --config PATH and the options of command_option_table anywhere, the command's name, and
// the rest for the command. The component defaults to the file beside the executable (in
// `executable_directory`), the profile to its folder "profile"; --config given without --profile
// puts the profile in the configuration file's folder. False with `error` set when no known
// command is named or an option lacks its value.
bool parse_command_line(const arguments_t& arguments, const std::string& executable_directory, command_options& options,
                        std::string& error);

// One line of a script: a command, its arguments and the options it gives for itself.
struct script_line {
    const command* chosen = nullptr;
    arguments_t arguments;
    command_settings settings;
};

// The words of a script line: split at blanks and tabs; double quotes group words with blanks in
// them and are dropped, \" stands for a quote character, and every other backslash is itself (as
// in Windows paths). No words for a blank line or one whose first word starts with #. False with
// `error` set for an unclosed quote.
bool split_script_line(std::string_view line, arguments_t& words, std::string& error);

// A script line's words: the command's name first, then its arguments, with the options of
// command_option_table anywhere. Host options belong on minihost's own command line and are refused,
// as is a script inside a script. False with `error` set.
bool parse_script_line(const arguments_t& words, script_line& out, std::string& error);

// The whole usage text, every command's and option's included.
std::string usage_text();

// Runs `chosen` on a started host with `line`'s settings over `session`'s (the host sees them while
// it runs), and then waits for the threaded processes it started to end (their on_done included).
// Failures the handler raises are printed to standard error as "minihost: TEXT" (with the
// command's usage after a usage_error). The exit status.
int run_command(host& running, const command& chosen, const arguments_t& arguments, const command_settings& line,
                const command_settings& session, std::ostream& out);

// The text of a number as a command takes it: finite, nothing after it. False otherwise.
bool parse_number(const std::string& text, double& value);

}  // namespace minihost
