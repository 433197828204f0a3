// The system's dialogs for choosing what to add to the playlist.
#pragma once

#include <string>
#include <vector>

#include "host/host_api.h"

namespace minihost {

// Files chosen in the system's open dialog over `owner`, offering first every type the inputs
// register (input_file_type), then each type alone, then all files. Empty when cancelled.
std::vector<std::string> choose_files(host_api& api, host_window owner);

// A folder chosen in the system's folder dialog over `owner`; empty when cancelled.
std::string choose_folder(host_window owner, const std::string& title);

}  // namespace minihost
