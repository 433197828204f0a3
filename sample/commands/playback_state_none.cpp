// Without a window system there is no playback state dialog.
#include "sample/commands/playback_state.h"
#include "zorb/exception.h"

namespace ambrel {

void open_playback_state_demo() { throw zorb::exception_not_implemented(); }

}  // namespace ambrel
