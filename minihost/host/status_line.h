// The host's status line as components override it (the ui_control service). The command line has
// no status bar: each override is printed as "[status] TEXT".
#pragma once

#include <string>

#include "host/service.h"

namespace minihost {

class status_line {
public:
    status_line();
    status_line(const status_line&) = delete;
    status_line& operator=(const status_line&) = delete;

    // The text a component shows in place of the host's own; empty when none.
    const std::string& override_text() const { return override_; }
    void override_text(const std::string& text);
    void revert();

    // The ui_control service over this line.
    service_ptr service() const { return service_; }

private:
    std::string override_;
    service_ptr service_;
};

}  // namespace minihost
