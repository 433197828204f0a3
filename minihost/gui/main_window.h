// minihost's main window: the menu bar built from the main-menu services, the playlist, bands for
// what later parts of the host put above and below it, and a status bar.
//
// Parts of the host that come later plug in here:
// - a playback bar (buttons, position): a child window added with add_band(window, height, top);
// - an element area for the components' UI elements: add_band(window, height, bottom);
// - commands of the host's menus (View, Playback, Help): host_commands().add({menu GUID, ...})
//   while the window exists; they appear in the menu bar the next time a menu opens;
// - commands of the playlist's context menu: contextmenu_item services of the host or a component.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/host_api.h"
#include "minihost/host/host.h"
#include "minihost/host/menu_tree.h"
#include "zorb/window_boundary.h"

struct tagNMHDR;  // a window notification (NMHDR)

namespace minihost {

class CMenuBar;
class CPlaylistView;
class CPropertiesWindow;

class CMainWindow {
public:
    // The ids of the children.
    static constexpr int playlist_id = 100;
    static constexpr int status_bar_id = 101;

    explicit CMainWindow(host& running);
    ~CMainWindow();
    CMainWindow(const CMainWindow&) = delete;
    CMainWindow& operator=(const CMainWindow&) = delete;

    // Creates the window at the place the profile keeps (or a default one), with the host's commands
    // of the File and Edit menus, and makes it the host's main window: popups become message boxes
    // owned by it. Raises zorb::exception when the window cannot be created.
    void create(bool visible);
    // Runs the messages of this thread until the window is closed, giving the registered modeless
    // windows their dialog keys.
    void run_until_closed();

    host_window window() const { return window_; }
    host_window playlist_window() const;
    host_window status_bar() const { return status_; }
    // The status bar's text in its normal state (not while a menu shows a description).
    const std::string& status_text() const { return status_text_; }

    // Adds files and folders (UTF-8 paths; a folder with every file in it that an input takes) to the
    // end of the playlist, showing progress in the status bar. Files that cannot be added are named
    // in one popup afterwards. The count of tracks added.
    size_t add_paths(const std::vector<std::string>& paths);

    // A child window shown across the window above the playlist (`at_top`) or below it, `height`
    // pixels tall; it stays the caller's.
    void add_band(host_window child, int height, bool at_top);
    // Builds the menu bar anew, with the menus of commands added since the window was made.
    void refresh_menu_bar();
    // A band's new height; a child that is no band is ignored.
    void set_band_height(host_window child, int height);
    // Client width the window keeps at least besides its own minimum (what its bands need); 0 none.
    void set_minimum_client_width(int width);

    // Opens the menu of the menu bar that `path` names ("Tools/Sample component": a menu of the bar
    // and the sub-menus below it), as a person would with the keyboard. Raises zorb::exception when
    // the path names no menu.
    void open_menu(const std::string& path);
    // Opens the context menu of the selected tracks, as the menu key does, and the sub-menus that
    // `path` names in it ("Sample component"), if any. Raises zorb::exception when the path names no
    // sub-menu.
    void open_context_menu(const std::string& path = {});

    // True once a handler of the window has failed (the failure was printed on standard error).
    bool failed() const { return boundary_.failed(); }

    // The window procedure's work for this window's messages; `attach` tells it its window first.
    intptr_t handle(unsigned message, uintptr_t wparam, intptr_t lparam);
    void attach(void* window);

private:
    void on_create();
    void on_destroy();
    void layout();
    int minimum_track_width() const;
    intptr_t on_notify(tagNMHDR& notification);
    void on_menu_select(unsigned item, unsigned flags, intptr_t menu);
    void on_context_menu(intptr_t lparam);
    void run_entry(const menu_node& entry);
    void on_drop(uintptr_t drop);
    void add_host_commands();
    void refresh_status();
    void show_description(const std::string& text);
    void choose_files();
    void choose_folder();
    // Edit > Properties: the selection's properties in a window beside this one (the last one replaced).
    void show_properties(const metadb_handle_list& tracks);

    host& running_;
    void* window_ = nullptr;  // HWND
    void* status_ = nullptr;  // HWND
    std::unique_ptr<CMenuBar> menu_bar_;
    std::unique_ptr<CPlaylistView> playlist_;
    std::unique_ptr<CPropertiesWindow> properties_;
    std::vector<size_t> command_ids_;
    bool context_open_ = false;
    std::vector<const menu_node*> context_commands_;  // of the context menu while it is open
    size_t playlist_observer_ = 0;
    size_t track_observer_ = 0;
    std::string status_text_;
    struct band {
        void* window;
        int height;
        bool at_top;
    };
    std::vector<band> bands_;
    int band_minimum_width_ = 0;
    zorb::window_boundary boundary_;
};

}  // namespace minihost
