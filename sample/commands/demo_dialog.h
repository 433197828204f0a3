// The "UI and Threads Demo" window that the context command opens on a selection.
#pragma once

#include "host/metadb.h"

namespace ambrel {

// Opens a new demo window on a copy of `tracks`, owned by the host's main window. On the host's
// user-interface thread. Raises exception_win32 when the window cannot be made; a build without
// windows raises zorb::exception_not_implemented.
void open_demo_dialog(const metadb_handle_list& tracks);

}  // namespace ambrel
