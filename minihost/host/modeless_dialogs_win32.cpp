// Dialog keys for the registered modeless windows.
#include <windows.h>

#include "minihost/host/modeless_dialogs.h"

namespace minihost {

bool modeless_registry::dispatch(void* message) const {
    auto* msg = static_cast<MSG*>(message);
    for (host_window registered : windows_) {
        HWND window = static_cast<HWND>(registered);
        if (msg->hwnd != window && !IsChild(window, msg->hwnd)) continue;
        return IsDialogMessageW(window, msg) != FALSE;
    }
    return false;
}

}  // namespace minihost
