// minihost's file system: local paths and file:// URLs.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "host/filesystem.h"

namespace minihost {

// The local file a path names, UTF-8: a file:// URL loses its prefix (and, on Windows, the slash
// before a drive letter, as in file:///C:/music); other paths stay as they are. URLs are taken as
// the host writes them, "file://" and the path verbatim: no %-escapes are decoded.
std::string local_path_of(const std::string& path);

// True for the paths the local file system claims: file:// URLs and paths with no other scheme.
bool is_local_path(const std::string& path);

// The path under which the host keeps a track of the file `path` names: for a local file a file://
// URL of its absolute path with redundant parts removed ("file://C:\music\a.mod" on Windows),
// so that every way of naming one file gives one text; other paths stay as they are.
std::string canonical_track_path(const std::string& path);

// Converts a std::filesystem time of a file to the host's file time (100 ns since 1601).
uint64_t host_file_time(std::filesystem::file_time_type time);

// The host's file system service for local files.
service_ptr make_local_filesystem();

}  // namespace minihost
