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

// The separator that the host writes between the folders of a local path.
#ifdef _WIN32
constexpr char local_path_separator = '\\';
#else
constexpr char local_path_separator = '/';
#endif

// The MIME type of a local file, from its extension: true with it in `out`, or false.
bool local_content_type(const std::string& path, zorb::string_base& out);

// The text by which the host tells files apart: the canonical path (canonical_track_path), on
// Windows with its letters folded to one case, as the system compares file names.
std::string file_identity(const std::string& path);

// Opens the local file `path` (no URL), UTF-8. Raises exception_io_not_found,
// exception_io_denied, exception_io_sharing_violation (Windows, with the system's message when
// another program holds the file without sharing it) or another exception_io.
service_ptr_t<file> open_local_file(const std::string& path, filesystem::open_mode mode);

// `path` with its letters folded as the system folds file names (Windows); elsewhere unchanged.
std::string fold_path_case(const std::string& path);

// The host's file system service for local files (a filesystem_v2): the separator above, file
// names as file_name_of (host.h) cuts them, content types from the extension, nothing remote but on Windows
// a file on a network share.
service_ptr make_local_filesystem();

}  // namespace minihost
