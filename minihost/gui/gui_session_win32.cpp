#include <windows.h>

#include <cstdio>
#include <utility>

#include "minihost/gui/gui_session.h"
#include "minihost/gui/main_window.h"
#include "minihost/host/main_menu.h"
#include "minihost/host/window_session.h"
#include "zorb/window_boundary.h"

namespace minihost {
namespace {

// The menus that the command line opens wait until the window has been on the screen a moment:
// Wine puts a new window on the screen once it has painted, over a menu that opened before.
constexpr UINT menus_delay_ms = 500;

struct waiting_menus {
    CMainWindow& window;
    const gui_options& options;
    zorb::window_boundary boundary;
};
waiting_menus* menus_to_open = nullptr;  // while run_gui waits to open them

void CALLBACK open_waiting_menus(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    waiting_menus* menus = std::exchange(menus_to_open, nullptr);
    if (menus == nullptr) return;
    menus->boundary.run([menus] {
        if (!menus->options.show_menu.empty()) menus->window.open_menu(menus->options.show_menu);
        if (menus->options.context_menu) menus->window.open_context_menu(menus->options.context_submenu);
    });
    if (menus->boundary.failed()) PostMessageW(static_cast<HWND>(menus->window.window()), WM_CLOSE, 0, 0);
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
        waiting_menus menus{window, options, zorb::window_boundary([](const std::string& message) {
                                std::fprintf(stderr, "minihost: %s\n", message.c_str());
                            })};
        if (!options.show_menu.empty() || options.context_menu) {
            menus_to_open = &menus;
            SetTimer(nullptr, 0, menus_delay_ms, open_waiting_menus);
        }
        close_windows_after(options.close_after);
        window.run_until_closed();
        menus_to_open = nullptr;
        if (window.failed() || menus.boundary.failed()) status = 1;
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "minihost: %s\n", failure.what());
        return 1;
    }
    return status;
}

}  // namespace minihost
