// minihost.exe gui: a window session with the main window.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "minihost/host/dsp_chain.h"
#include "minihost/host/host.h"

namespace minihost {

struct gui_options {
    std::vector<std::string> paths;        // files and folders that make the playlist (else the kept one stays)
    double close_after = 0;                // seconds until every window closes by itself; 0 never
    std::vector<std::string> run;          // main-menu commands run once the window shows, by path
    std::vector<size_t> select;            // playlist rows selected at the start (0-based)
    std::string show_menu;                 // a menu of the menu bar opened at the start ("Tools/Sample component")
    bool context_menu = false;             // the selection's context menu opened at the start
    std::vector<std::string> context_run;  // context-menu commands run on the selection, after `run`
    std::vector<std::string> press;        // "TITLE/BUTTON": buttons pressed in this session's windows, last
    double run_after = 0;                  // seconds after the window shows that `run` runs; 0 at once
    std::vector<std::string> layout;       // the UI elements the element area holds, by name (else the kept ones)
    bool has_layout = false;               // `layout` was given (an empty one clears the area)
    std::string context_submenu;           // and its sub-menus opened ("Sample component"), if any
    std::function<void(host&, dsp_chain&)> load_dsp_chain;  // fills the chain the playback bar plays through
};

// Opens the main window on the started host and returns when it is closed: 0, or 1 after printing
// to standard error what failed (the window could not be made, a command of `run` failed, a
// handler of the window failed). A build without windows prints that it has none and gives 1.
int run_gui(host& running, const gui_options& options);

}  // namespace minihost
