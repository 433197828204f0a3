// The host's registry of modeless windows (modeless_dialog_manager) and how a message loop gives
// them their dialog keys.
#pragma once

#include <vector>

#include "host/host_api.h"
#include "host/service.h"

namespace minihost {

// One thread: the host's user-interface thread.
class modeless_registry {
public:
    modeless_registry();
    modeless_registry(const modeless_registry&) = delete;
    modeless_registry& operator=(const modeless_registry&) = delete;

    void add(host_window window);
    void remove(host_window window);
    // The registered windows, in the order they came.
    const std::vector<host_window>& windows() const { return windows_; }

    // When the message `message` (an MSG) is for a registered window or one of its controls and is
    // one of that window's dialog keys, handles it (IsDialogMessage) and answers true; the message
    // loop then neither translates nor dispatches it. False otherwise, and always in a build
    // without windows.
    bool dispatch(void* message) const;

    // The modeless_dialog_manager service over this registry.
    service_ptr service() const { return service_; }

private:
    std::vector<host_window> windows_;
    service_ptr service_;
};

}  // namespace minihost
