// The files a folder holds, for File > Add folder and for folders dropped on the main window.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace minihost {

// Every file in `folder` and its subfolders (UTF-8 paths) that `wanted` takes, sorted by path with
// letters compared without case. Entries that cannot be read (a folder without permission, a
// link that leads nowhere) are passed over; raises zorb::exception when `folder` itself cannot be
// listed.
std::vector<std::string> files_in_folder(const std::string& folder,
                                         const std::function<bool(const std::string& path)>& wanted);

}  // namespace minihost
