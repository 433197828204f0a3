// The host's registry of modeless windows: a component's window that lives beside the host's own
// (a modeless dialog, a tool window) registers here so that the host's message loop gives it the
// dialog keys: Tab and Shift+Tab move between its controls, Enter presses the default button and
// Escape sends it the Cancel command (IDCANCEL), as in a modal dialog.
#pragma once

#include "host/host_api.h"
#include "host/service.h"

// A singleton of the host. Called on the host's user-interface thread, which is the thread that
// created the window; raises nothing.
class modeless_dialog_manager : public service_base {
public:
    static constexpr GUID class_guid = {0x23A2CFE7, 0xA3DC, 0x46EC, {0x88, 0xEE, 0xD0, 0x43, 0x7A, 0x8B, 0x3E, 0x01}};
    using parent_t = service_base;

    // Registers `window` (an HWND) until it is removed; registering a window twice keeps it once.
    // The window stays the caller's: it must be removed before it is destroyed (in its WM_DESTROY).
    virtual void add(host_window window) = 0;
    // Forgets `window`; a window that is not registered is ignored.
    virtual void remove(host_window window) = 0;
};
