// The main window's playlist: a list view in report mode over the host's playlist. It holds no rows
// (owner data): each cell is asked of the track when it is drawn. Its selection and focus are the
// playlist's: a change on either side shows on the other.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include "minihost/host/playlist.h"

namespace minihost {

class CPlaylistView {
public:
    explicit CPlaylistView(playlist& list) : list_(list) {}
    ~CPlaylistView();
    CPlaylistView(const CPlaylistView&) = delete;
    CPlaylistView& operator=(const CPlaylistView&) = delete;

    // Creates the list as child `id` of `parent`, its columns scaled for the screen. Raises
    // exception_win32 when the system refuses.
    void create(HWND parent, int id);
    HWND window() const { return window_; }

    // Answers the list's notifications (texts, selection and focus changes): true with `result` set
    // when it did; false for the others, which the main window handles.
    bool answer(NMHDR& notification, LRESULT& result);
    // Draws every row anew (the tracks' information changed).
    void redraw() const;
    // The middle of the focused row in screen coordinates (the list's top left corner without one).
    POINT focused_point() const;

private:
    void on_change(playlist::change what);
    void show_selection();

    playlist& list_;
    HWND window_ = nullptr;
    size_t observer_ = 0;
    bool from_view_ = false;  // the view is telling the playlist: no need to show it back
    bool showing_ = false;    // the view is showing the playlist: its notifications are echoes
};

}  // namespace minihost
