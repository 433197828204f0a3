#include <windows.h>

#include <cstdio>
#include <utility>

#include "minihost/gui/element_area.h"
#include "minihost/gui/playback_bar.h"
#include "minihost/gui/gui_session.h"
#include "minihost/gui/main_window.h"
#include "minihost/host/context_menu.h"
#include "minihost/host/main_menu.h"
#include "minihost/host/window_session.h"
#include "zorb/unicode.h"
#include "zorb/window_boundary.h"

namespace minihost {
namespace {

struct button_search {
    std::wstring text;
    HWND found = nullptr;
};

BOOL CALLBACK find_button(HWND child, LPARAM context) {
    auto& wanted = *reinterpret_cast<button_search*>(context);
    wchar_t class_name[16] = {}, text[256] = {};
    GetClassNameW(child, class_name, 16);
    GetWindowTextW(child, text, 256);
    if (lstrcmpiW(class_name, L"Button") != 0 || wanted.text != text) return TRUE;
    wanted.found = child;
    return FALSE;
}

// Presses the button of "TITLE/BUTTON" (the text after the last /) in a window of this thread
// titled TITLE, as a click would; false when there is none.
bool press_button(const std::string& title_and_button) {
    const size_t slash = title_and_button.rfind('/');
    HWND window = FindWindowW(nullptr, zorb::wide_from_utf8(title_and_button.substr(0, slash)).c_str());
    if (window == nullptr || GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId()) return false;
    // Any button of the window, also one of a child window's (a check box of a UI element).
    button_search wanted{zorb::wide_from_utf8(title_and_button.substr(slash + 1))};
    EnumChildWindows(window, find_button, reinterpret_cast<LPARAM>(&wanted));
    if (wanted.found == nullptr) return false;
    SendMessageW(wanted.found, BM_CLICK, 0, 0);
    return true;
}

// Runs the main-menu commands `paths` now; false when one failed (it is told on standard error).
bool run_main_commands(host& running, const std::vector<std::string>& paths) {
    bool all = true;
    for (const std::string& path : paths) {
        try {
            run_menu_command(find_menu_command(build_main_menu(running), path, "main-menu command"), path);
        } catch (const std::exception& failure) {
            std::fprintf(stderr, "minihost: %s: %s\n", path.c_str(), failure.what());
            all = false;
        }
    }
    return all;
}

// The commands that --run-after delays, and whether one of them failed.
struct delayed_commands {
    host* running = nullptr;
    std::vector<std::string> paths;
    bool failed = false;
};
delayed_commands delayed;

void CALLBACK run_delayed(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    if (delayed.running != nullptr && !run_main_commands(*delayed.running, delayed.paths)) delayed.failed = true;
}

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
        dsp_chain chain(running);
        if (options.load_dsp_chain) options.load_dsp_chain(running, chain);
        CPlaybackBar playback(running, window, &chain);
        playback.create();
        CElementArea elements(running, window);
        elements.create();
        if (options.has_layout) elements.set_elements(options.layout);
        if (options.run_after > 0) {
            delayed = {&running, options.run, false};
            SetTimer(nullptr, 0, UINT(options.run_after * 1000), run_delayed);
        } else if (!run_main_commands(running, options.run)) {
            status = 1;
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
        if (window.failed() || menus.boundary.failed() || delayed.failed) status = 1;
        delayed = {};
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "minihost: %s\n", failure.what());
        return 1;
    }
    return status;
}

}  // namespace minihost
