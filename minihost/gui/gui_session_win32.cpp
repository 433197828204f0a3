#include <cstdio>

#include "minihost/gui/gui_session.h"
#include "minihost/gui/main_window.h"
#include "minihost/host/main_menu.h"
#include "minihost/host/window_session.h"

namespace minihost {

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
