#include "minihost/app/command_line.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace minihost {
namespace {

constexpr char usage_head[] = "usage: minihost [--component PATH] [--config PATH] COMMAND\n";

}  // namespace

const command* find_command(std::string_view name) {
    for (const command& known : command_table())
        if (name == known.name) return &known;
    return nullptr;
}

bool parse_command_line(const arguments_t& arguments, const std::string& executable_directory, command_options& options,
                        std::string& error) {
    options = {nullptr, {}, executable_directory + default_component_name, executable_directory + default_config_name};
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--component" || argument == "--config") {
            if (i + 1 == arguments.size()) {
                error = argument + " needs a path";
                return false;
            }
            (argument == "--component" ? options.component_path : options.config_path) = arguments[++i];
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
    return true;
}

std::string usage_text() {
    std::string text = std::string(usage_head) + "commands:\n";
    for (const command& known : command_table()) text += std::string("  ") + known.usage + "\n";
    return text;
}

int run_command(host& running, const command_options& options, std::ostream& out) {
    command_context context{running, out, options.config_path};
    int status;
    try {
        status = options.chosen->handler(context, options.arguments);
    } catch (const usage_error& failure) {
        out.flush();
        std::fprintf(stderr, "minihost: %s\n%s  %s\n", failure.what(), usage_head, options.chosen->usage);
        return 2;
    } catch (const std::exception& failure) {
        out.flush();
        std::fprintf(stderr, "minihost: %s\n", failure.what());
        return 1;
    }
    out.flush();
    return status;
}

bool parse_number(const std::string& text, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && std::isfinite(value);
}

}  // namespace minihost
