#include <windows.h>

#include <cstdio>

#include "minihost/gui/gui_session.h"
#include "minihost/gui/main_window.h"
#include "minihost/host/context_menu.h"
#include "minihost/host/main_menu.h"
#include "minihost/host/window_session.h"
#include "zorb/unicode.h"

namespace minihost {
namespace {

// Presses the button of "TITLE/BUTTON" (the text after the last /) in a window of this thread
// titled TITLE, as a click would; false when there is none.
bool press_button(const std::string& title_and_button) {
    const size_t slash = title_and_button.rfind('/');
    HWND window = FindWindowW(nullptr, zorb::wide_from_utf8(title_and_button.substr(0, slash)).c_str());
    if (window == nullptr || GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId()) return false;
    HWND button =
        FindWindowExW(window, nullptr, L"Button", zorb::wide_from_utf8(title_and_button.substr(slash + 1)).c_str());
    if (button == nullptr) return false;
    SendMessageW(button, BM_CLICK, 0, 0);
    return true;
}

}  // namespace

int run_gui(host& running, const gui_options& options) {
    int status = 0;
    try {
        CMainWindow window(running);
        window.create(true);
        playlist& list = running.playlist();
        if (!options.paths.empty()) {
            list.clear();
            window.add_paths(options.paths);
        }
        if (!options.select.empty()) {
            list.select_only(options.select);
            list.set_focus(options.select.front());
        }
        for (const std::string& path : options.run) {
            try {
                run_menu_command(find_menu_command(build_main_menu(running), path, "main-menu command"), path);
            } catch (const std::exception& failure) {
                std::fprintf(stderr, "minihost: %s: %s\n", path.c_str(), failure.what());
                status = 1;
            }
        }
        const metadb_handle_list selection = list.selected_items();
        for (const std::string& path : options.context_run) {
            try {
                run_menu_command(find_menu_command(build_context_menu(running, selection, contextmenu_caller_playlist),
                                                   path, "context-menu command"),
                                 path);
            } catch (const std::exception& failure) {
                std::fprintf(stderr, "minihost: %s: %s\n", path.c_str(), failure.what());
                status = 1;
            }
        }
        for (const std::string& button : options.press) {
            if (!press_button(button)) {
                std::fprintf(stderr, "minihost: no button %s\n", button.c_str());
                status = 1;
            }
        }
        if (!options.show_menu.empty()) window.open_menu(options.show_menu);
        if (options.context_menu) window.open_context_menu();
        close_windows_after(options.close_after);
        window.run_until_closed();
        if (window.failed()) status = 1;
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "minihost: %s\n", failure.what());
        return 1;
    }
    return status;
}

}  // namespace minihost
