// Files named by UTF-8 paths: the path as the system takes it, whole-file reads, and replacing a
// file's content without ever leaving it half written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace zorb {

// The system's path for a UTF-8 path (UTF-16 on Windows), and the UTF-8 text of a system path.
std::filesystem::path native_path(std::string_view utf8);
std::string utf8_path(const std::filesystem::path& path);

// The whole content of the file at `path`; false, with `out` empty, when it cannot be opened
// (a missing file among others) or read.
bool read_file(std::string_view path, std::vector<uint8_t>& out);

// Makes `size` bytes of `data` the content of the file at `path`: written whole to PATH.new beside
// it and then renamed over it, so that a failure leaves the old content as it was. Raises
// zorb::exception "Cannot write WHAT PATH" (with the system's reason) when either step fails.
void replace_file(std::string_view path, const void* data, size_t size, std::string_view what);

// The same with the new content written by `write_content` into the stream of PATH.new, for content
// too large to hold in memory. When `write_content` raises, the new file goes, the old one stays,
// and its failure passes on unchanged; a stream that failed raises as replace_file.
void replace_file_with(std::string_view path, std::string_view what,
                       const std::function<void(std::ostream& content)>& write_content);

}  // namespace zorb
