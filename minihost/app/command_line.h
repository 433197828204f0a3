// minihost.exe's command line: the global options, the table of commands and running one of them.
//
// A command is a row of the table (command_table.cpp): its name, its usage text and its handler.
// A new command is a handler in a file of its topic and one row more.
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

// What a command works with: the started host, where its report goes, the configuration file.
struct command_context {
    host& running;
    std::ostream& out;
    std::string config_path;  // UTF-8; host-side files such as the DSP chain are kept beside it
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

struct command_options {
    const command* chosen = nullptr;
    arguments_t arguments;       // the command's own arguments
    std::string component_path;  // UTF-8
    std::string config_path;     // UTF-8
};

constexpr char default_component_name[] = "kiv_ambrel.dll";
constexpr char default_config_name[] = "minihost.cfg";

// Reads the arguments (without the program name): --component PATH and --config PATH anywhere,
// the command's name, and the rest for the command. Paths default to files in
// `executable_directory`. False with `error` set when no known command is named.
bool parse_command_line(const arguments_t& arguments, const std::string& executable_directory, command_options& options,
                        std::string& error);

// The whole usage text, every command's included.
std::string usage_text();

// Runs the parsed command on a started host. Failures the handler raises are printed to standard
// error as "minihost: TEXT" (with the command's usage after a usage_error). The exit status.
int run_command(host& running, const command_options& options, std::ostream& out);

// The text of a number as a command takes it: finite, nothing after it. False otherwise.
bool parse_number(const std::string& text, double& value);

}  // namespace minihost
