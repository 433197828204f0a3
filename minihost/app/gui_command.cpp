#include "minihost/app/gui_command.h"

#include <algorithm>

#include "minihost/app/dsp_commands.h"
#include "minihost/gui/gui_session.h"

namespace minihost {
namespace {

// "0,2,5": playlist rows counted from 1 as a person counts them, taken as 0-based indexes.
bool parse_rows(const std::string& text, std::vector<size_t>& rows) {
    size_t start = 0;
    do {
        const size_t comma = text.find(',', start);
        double number = 0;
        if (!parse_number(text.substr(start, comma - start), number) || number < 1 ||
            number != static_cast<size_t>(number))
            return false;
        rows.push_back(static_cast<size_t>(number) - 1);
        start = comma == std::string::npos ? comma : comma + 1;
    } while (start != std::string::npos);
    return true;
}

}  // namespace

int gui_command(command_context& context, const arguments_t& arguments) {
    gui_options options;
    options.load_dsp_chain = [](host& running, dsp_chain& chain) {
        load_play_chain(running, {}, running.profile().dsp_chain_file(), chain);
    };
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const bool has_value = i + 1 < arguments.size();
        if (argument == "--context-menu") {
            options.context_menu = true;
        } else if (argument == "--close-after") {
            if (!has_value || !parse_number(arguments[++i], options.close_after) || options.close_after < 0)
                throw usage_error("--close-after needs a number of seconds");
        } else if (argument == "--run") {
            if (!has_value) throw usage_error("--run needs a main-menu command");
            options.run.push_back(arguments[++i]);
        } else if (argument == "--context-run") {
            if (!has_value) throw usage_error("--context-run needs a context-menu command");
            options.context_run.push_back(arguments[++i]);
        } else if (argument == "--press") {
            if (!has_value || arguments[i + 1].find('/') == std::string::npos)
                throw usage_error("--press needs a window's title and a button's text joined by /");
            options.press.push_back(arguments[++i]);
        } else if (argument == "--layout") {
            if (!has_value) throw usage_error("--layout needs UI element names joined by commas");
            options.has_layout = true;
            const std::string names = arguments[++i];
            for (size_t start = 0; start <= names.size();) {
                const size_t comma = std::min(names.find(',', start), names.size());
                if (comma > start) options.layout.push_back(names.substr(start, comma - start));
                start = comma + 1;
            }
        } else if (argument == "--run-after") {
            if (!has_value || !parse_number(arguments[++i], options.run_after) || options.run_after < 0)
                throw usage_error("--run-after needs a number of seconds");
        } else if (argument == "--select") {
            if (!has_value || !parse_rows(arguments[++i], options.select))
                throw usage_error("--select needs row numbers from 1, joined by commas");
        } else if (argument == "--show-context-menu") {
            if (!has_value) throw usage_error("--show-context-menu needs a path of sub-menus");
            options.context_menu = true;
            options.context_submenu = arguments[++i];
        } else if (argument == "--show-menu") {
            if (!has_value) throw usage_error("--show-menu needs a menu's path");
            options.show_menu = arguments[++i];
        } else if (argument.starts_with("--")) {
            throw usage_error("unexpected argument " + argument);
        } else {
            options.paths.push_back(argument);
        }
    }
    return run_gui(context.running, options);
}

}  // namespace minihost
