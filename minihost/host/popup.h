// The host's popup message service, and the ways a session shows popups: printed on the command
// line, as message boxes in a window session, recorded in tests.
#pragma once

#include <cstdio>
#include <functional>
#include <mutex>
#include <string>

#include "host/host_api.h"
#include "host/popup.h"

namespace minihost {

// Shows one popup: its title, its message and its icon code (popup_icon_*).
using popup_presenter = std::function<void(const std::string& title, const std::string& message, unsigned icon)>;

// The popup service: hands every popup to the session's presenter. Any thread.
class popup_router {
public:
    popup_router();
    popup_router(const popup_router&) = delete;
    popup_router& operator=(const popup_router&) = delete;

    // Popups from now on go to `presenter`; an empty one drops them.
    void set_presenter(popup_presenter presenter);
    void show(const std::string& title, const std::string& message, unsigned icon);

    // The host's popup_message service over this router.
    service_ptr service() const { return service_; }

private:
    std::mutex mutex_;
    popup_presenter presenter_;
    service_ptr service_;
};

// The command line's form: "[popup] TITLE: MESSAGE" and a line break on `out`, the message exactly
// as given (its line breaks kept), flushed at once.
popup_presenter print_popups(std::FILE* out);

// The window session's form: a message box owned by the host's main window (none while it has
// none), with the icon of the code, on the calling thread; it returns when the box is closed.
// Without windows (the native build) popups are printed to standard output instead.
popup_presenter message_box_popups(host_api& api);

}  // namespace minihost
