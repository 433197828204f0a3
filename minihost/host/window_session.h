// The window session of minihost's commands: the windows they open, and closing them after a
// while; builds without a window system report that they have none.
#pragma once

#include <ostream>

#include "host/host_api.h"

namespace minihost {

// Closes every window of the calling thread after `seconds` (dialogs as by Cancel), so that a
// command which opens windows for a person can also end by itself. Nothing for 0 or less.
void close_windows_after(double seconds);

// Opens the preferences window and returns when it is closed; 0, or 1 after printing to standard
// error why it could not be shown or which of its pages failed while it was open.
int show_preferences_window(host_api& api, double close_after_seconds);

}  // namespace minihost
