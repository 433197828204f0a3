#include "minihost/app/command_line.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "minihost/host/profile.h"
#include "zorb/files.h"

namespace minihost {
namespace {

constexpr char usage_head[] =
    "usage: minihost [--component PATH] [--profile DIR] [--config PATH] [OPTION...] COMMAND\n";

bool take_web_map(const std::string& value, command_settings& settings, std::string& error) {
    web_mapping mapping;
    if (!parse_web_mapping(value, mapping, error)) return false;
    settings.web_map.push_back(std::move(mapping));
    return true;
}

bool take_folder(const std::string& value, command_settings& settings, std::string& error) {
    if (value.empty()) {
        error = "--folder needs a folder";
        return false;
    }
    settings.folder = value;
    return true;
}

const command_option options_of_every_command[] = {
    {"--web-map", "--web-map URL=URL  the web client asks the second URL for the first; *=URL for every URL",
     take_web_map},
    {"--folder", "--folder DIR       the folder a command asks for (without it the command line cancels the question)",
     take_folder},
};

const command_option* find_option(std::string_view name) {
    for (const command_option& option : options_of_every_command)
        if (name == option.name) return &option;
    return nullptr;
}

bool is_host_option(std::string_view argument) {
    return argument == "--component" || argument == "--profile" || argument == "--config";
}

// When arguments[i] is an option of every command, takes it and its value into `settings` and moves
// `i` past the value. `taken` tells whether it was one.
bool take_command_option(const arguments_t& arguments, size_t& i, command_settings& settings, bool& taken,
                         std::string& error) {
    const command_option* option = find_option(arguments[i]);
    taken = option != nullptr;
    if (!taken) return true;
    if (i + 1 == arguments.size()) {
        error = arguments[i] + " needs a value";
        return false;
    }
    return option->take(arguments[++i], settings, error);
}

}  // namespace

const command* find_command(std::string_view name) {
    for (const command& known : command_table())
        if (name == known.name) return &known;
    return nullptr;
}

std::span<const command_option> command_option_table() { return options_of_every_command; }

bool parse_command_line(const arguments_t& arguments, const std::string& executable_directory, command_options& options,
                        std::string& error) {
    options = {};
    options.component_path = executable_directory + default_component_name;
    bool profile_given = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        bool taken = false;
        if (!take_command_option(arguments, i, options.settings, taken, error)) return false;
        if (taken) continue;
        if (is_host_option(argument)) {
            if (i + 1 == arguments.size()) {
                error = argument + " needs a " + (argument == "--profile" ? "folder" : "path");
                return false;
            }
            const std::string& value = arguments[++i];
            if (argument == "--component") options.component_path = value;
            if (argument == "--config") options.config_path = value;
            if (argument == "--profile") {
                options.profile_folder = value;
                profile_given = true;
            }
        } else if (options.chosen != nullptr) {
            options.arguments.push_back(argument);
        } else if (argument.starts_with("-")) {
            error = "unexpected argument " + argument;
            return false;
        } else if ((options.chosen = find_command(argument)) == nullptr) {
            error = "unknown command " + argument;
            return false;
        }
    }
    if (options.chosen == nullptr) {
        error = "no command given";
        return false;
    }
    const profile where = profile_given                  ? profile(options.profile_folder, options.config_path)
                          : !options.config_path.empty() ? profile::beside(options.config_path)
                                                         : profile(executable_directory + default_profile_folder_name);
    options.profile_folder = where.folder();
    options.config_path = where.config_file();
    return true;
}

bool split_script_line(std::string_view line, arguments_t& words, std::string& error) {
    words.clear();
    std::string word;
    bool in_word = false, quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\\' && i + 1 < line.size() && line[i + 1] == '"') {
            word += '"';
            in_word = true;
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
            in_word = true;
        } else if ((c == ' ' || c == '\t' || c == '\r') && !quoted) {
            if (in_word) words.push_back(std::move(word));
            word.clear();
            in_word = false;
        } else {
            word += c;
            in_word = true;
        }
    }
    if (quoted) {
        error = "a quote is not closed";
        return false;
    }
    if (in_word) words.push_back(std::move(word));
    if (!words.empty() && words.front().starts_with("#")) words.clear();
    return true;
}

bool parse_script_line(const arguments_t& words, script_line& out, std::string& error) {
    out = {};
    for (size_t i = 0; i < words.size(); ++i) {
        bool taken = false;
        if (!take_command_option(words, i, out.settings, taken, error)) return false;
        if (taken) continue;
        if (is_host_option(words[i])) {
            error = words[i] + " goes on minihost's own command line, not on a script line";
            return false;
        }
        if (out.chosen != nullptr) {
            out.arguments.push_back(words[i]);
        } else if ((out.chosen = find_command(words[i])) == nullptr) {
            error = "unknown command " + words[i];
            return false;
        }
    }
    if (out.chosen == nullptr) {
        error = "no command given";
        return false;
    }
    if (std::string_view(out.chosen->name) == "script") {
        error = "a script cannot run another script";
        return false;
    }
    return true;
}

std::string usage_text() {
    std::string text = std::string(usage_head) + "options of every command (on a script line for that line only):\n";
    for (const command_option& option : options_of_every_command) text += std::string("  ") + option.usage + "\n";
    text += "commands:\n";
    for (const command& known : command_table()) text += std::string("  ") + known.usage + "\n";
    return text;
}

int run_command(host& running, const command& chosen, const arguments_t& arguments, const command_settings& line,
                const command_settings& session, std::ostream& out) {
    command_context context{running, out, session};
    running.set_settings(line.over(session));
    int status;
    try {
        status = chosen.handler(context, arguments);
    } catch (const usage_error& failure) {
        out.flush();
        std::fprintf(stderr, "minihost: %s\n%s  %s\n", failure.what(), usage_head, chosen.usage);
        status = 2;
    } catch (const std::exception& failure) {
        out.flush();
        std::fprintf(stderr, "minihost: %s\n", failure.what());
        status = 1;
    }
    // What the command started on the host's threads ends with it, under its settings.
    running.processes().finish_all();
    out.flush();
    running.set_settings(session);
    return status;
}

bool parse_number(const std::string& text, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && std::isfinite(value);
}

}  // namespace minihost
