#include "minihost/app/menu_commands.h"

#include <cstdio>

#include "minihost/host/context_menu.h"
#include "minihost/host/filesystem.h"
#include "minihost/host/main_menu.h"
#include "minihost/host/window_session.h"

namespace minihost {
namespace {

// Takes --windows and --close-after S out of `arguments`: whether the command runs in a window
// session, and after how many seconds its windows close (0: when a person closes them).
arguments_t take_window_options(const arguments_t& arguments, bool& windows, double& close_after) {
    arguments_t rest;
    windows = false;
    close_after = 0;
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == "--windows") {
            windows = true;
        } else if (arguments[i] == "--close-after") {
            if (i + 1 == arguments.size() || !parse_number(arguments[i + 1], close_after) || close_after < 0)
                throw usage_error("--close-after needs a number of seconds");
            ++i;
        } else {
            rest.push_back(arguments[i]);
        }
    }
    return rest;
}

// A window session for the time of one command: popups, progress windows and the folder picker as
// windows, and the command waits until its threaded processes have ended.
class window_session_scope {
public:
    window_session_scope(host& running, bool windows, double close_after) : running_(running), windows_(windows) {
        if (!windows_) return;
        running_.set_window_session(true);
        close_windows_after(close_after);
    }
    ~window_session_scope() {
        if (!windows_) return;
        running_.processes().finish_all();
        running_.set_window_session(false);
    }

private:
    host& running_;
    bool windows_;
};

// Runs the command `path` names in `menu`; a failure is raised again with the path before its text.
void run_by_path(const menu_node& menu, const std::string& path, std::string_view what) {
    const menu_node& command = find_menu_command(menu, path, what);
    try {
        run_menu_command(command, path);
    } catch (const std::exception& failure) {
        throw zorb::exception(path + ": " + failure.what());
    }
}

}  // namespace

metadb_handle_list tracks_of_files(host& running, const arguments_t& files) {
    metadb_handle_list tracks;
    abort_callback_dummy abort;
    for (const std::string& file : files) {
        std::string failure;
        for (const metadb_handle_ptr& track : running.tracks().add_file(canonical_track_path(file), abort, failure))
            tracks.add_item(track);
        if (!failure.empty()) std::fprintf(stderr, "minihost: %s: %s\n", file.c_str(), failure.c_str());
    }
    return tracks;
}

int context_command(command_context& context, const arguments_t& given) {
    bool windows;
    double close_after;
    const arguments_t arguments = take_window_options(given, windows, close_after);
    const std::string action = arguments.empty() ? "" : arguments[0];
    if (action != "list" && (action != "run" || arguments.size() < 2))
        throw usage_error("context needs list FILE... or run ITEM FILE...");
    const size_t first_file = action == "list" ? 1 : 2;
    const metadb_handle_list tracks =
        tracks_of_files(context.running, arguments_t(arguments.begin() + first_file, arguments.end()));
    const menu_node menu = build_context_menu(context.running, tracks, contextmenu_caller_command_line);
    if (action == "list") {
        print_menu_tree(menu, context.out);
    } else {
        window_session_scope session(context.running, windows, close_after);
        run_by_path(menu, arguments[1], "context-menu item for this selection");
    }
    return 0;
}

int menu_command(command_context& context, const arguments_t& given) {
    bool windows;
    double close_after;
    const arguments_t arguments = take_window_options(given, windows, close_after);
    if (arguments.size() == 1 && arguments[0] == "list") {
        print_menu_tree(build_main_menu(context.running), context.out);
        return 0;
    }
    if (arguments.size() != 2 || arguments[0] != "run") throw usage_error("menu needs list or run PATH");
    window_session_scope session(context.running, windows, close_after);
    run_by_path(build_main_menu(context.running), arguments[1], "main-menu command");
    // A command that opened a modeless window ends when the window closes.
    while (pump_window_messages()) wait_for_window_messages(50);
    return 0;
}

}  // namespace minihost
