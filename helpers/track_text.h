// Tracks as the component writes them in its messages.
#pragma once

#include <string>

#include "host/metadb.h"

namespace ambrel {

// `path` in the host's display form (filesystem::g_get_display_path): unchanged when no file
// system of the host claims it.
std::string display_path(const char* path);

// The track line: the display path between double quotes, then " / index: " and the subsong index
// when that is not 0; "[invalid location]" for a missing track.
std::string track_line(const metadb_handle_ptr& track);

}  // namespace ambrel
