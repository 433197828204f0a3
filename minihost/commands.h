// The commands of minihost.exe, over a started host.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "minihost/host.h"

namespace minihost {

struct command_options {
    std::string command;                 // "services", "about", "info" or "play"
    std::vector<std::string> arguments;  // the command's own arguments (info and play)
    std::string component_path;          // UTF-8
    std::string config_path;             // UTF-8
};

constexpr char default_component_name[] = "kiv_ambrel.dll";
constexpr char default_config_name[] = "minihost.cfg";
constexpr char usage_text[] =
    "usage: minihost [--component PATH] [--config PATH] COMMAND\n"
    "commands:\n"
    "  services   list every service of the component: class, GUID, name\n"
    "  about      show the component's identity and installation check\n"
    "  info FILE...\n"
    "             per file: the input that takes it, its technical fields and file statistics\n"
    "  play FILE [--seconds N] [--out OUT.wav] [--dsp NAME [--gain DB]]...\n"
    "             decode N seconds (default 30) through the input into a WAV file (default out/NAME.wav),\n"
    "             through the DSPs named (a gain DSP's preset from DB) or else the DSP chain kept\n";

// Runs a parsed command on a started host; the process's exit status.
int run_command(host& running, const command_options& options, std::ostream& out);

// Reads the arguments (without the program name). Paths default to files in `executable_directory`.
// False with `error` set when they make no valid command line.
bool parse_command_line(const std::vector<std::string>& arguments, const std::string& executable_directory,
                        command_options& options, std::string& error);

// The host's name for a service class, or null for a class the host does not know.
const char* host_class_name(const GUID& class_guid);

// One line per service of the component: class name (or "unknown"), GUID, and the service's own
// name where its class has one.
void list_services(host& running, std::ostream& out);

// The component's file name, name, version, about text and the installation check's answer.
// Raises the lookup failures when the component has no single componentversion service.
void print_about(host& running, std::ostream& out);

}  // namespace minihost
