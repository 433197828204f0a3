// The window session of minihost's commands: the windows they open, and closing them after a
// while; builds without a window system report that they have none.
#pragma once

#include <ostream>

#include "host/host_api.h"

namespace minihost {

// Closes every window of the calling thread after `seconds` (dialogs as by Cancel), so that a
// command which opens windows for a person can also end by itself. Nothing for 0 or less.
void close_windows_after(double seconds);

// Handles the messages waiting for the calling thread's windows (the dialog keys of its dialogs
// included) and answers whether a visible window of the thread is left. False, handling nothing,
// in a build without windows.
bool pump_window_messages();
// Waits until a message comes for the calling thread or `milliseconds` have passed.
void wait_for_window_messages(unsigned milliseconds);

// Opens the preferences window and returns when it is closed; 0, or 1 after printing to standard
// error why it could not be shown or which of its pages failed while it was open.
int show_preferences_window(host_api& api, double close_after_seconds);

}  // namespace minihost
