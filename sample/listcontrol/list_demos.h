// The three list-control demo windows that the main menu's commands open.
#pragma once

namespace ambrel {

enum class list_demo {
    simple,      // "Simple CListControl demo": the playlist's tracks (or a sample set), sorted, copied
    owner_data,  // "Owner-data CListControl demo": a million rows made on demand
    advanced,    // "Advanced CListControl demo": ticks, editing, a cycling cell, drag to reorder
};

// Opens the window of `which`, owned by the host's main window, or brings it to the front when it
// is open already. On the host's user-interface thread. Raises exception_win32 when the window
// cannot be made; a build without windows raises zorb::exception_not_implemented.
void open_list_demo(list_demo which);

}  // namespace ambrel
