// Whether the playback stream capture is running: the state that the main menu shows as the tick of
// its capture command, and that the capture control switches.
#pragma once

namespace ambrel {

// Any thread.
bool capture_active();
void set_capture_active(bool active);

}  // namespace ambrel
