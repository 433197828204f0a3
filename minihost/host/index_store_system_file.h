// The little of the system's files that the index store needs, one implementation per system
// (index_store_system_file_posix.cpp, index_store_system_file_win32.cpp). Every failure raises
// zorb::exception "Cannot DOING the index store PATH: " with the system's reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "minihost/host/index_store_io.h"

namespace minihost::system_file {

class file {
public:
    enum class access { read, write, create };  // create: made anew, empty

    // The file at `path` (UTF-8) opened for `how`; null when reading a file that is not there.
    static std::unique_ptr<file> open(const std::string& path, access how);
    virtual ~file() = default;

    virtual uint64_t size() = 0;
    // Up to `size` bytes at `offset`; 0 at the end.
    virtual size_t read_at(uint64_t offset, uint8_t* out, size_t size) = 0;
    // All `size` bytes at `offset`.
    virtual void write_at(uint64_t offset, const uint8_t* data, size_t size) = 0;
    virtual void cut(uint64_t size) = 0;
    // Returns once what was written is on the disk.
    virtual void flush() = 0;
};

// Renames `from` over `to` and returns once the rename is on the disk.
void rename_over(const std::string& from, const std::string& to);
void remove(const std::string& path);
// The exclusive lock of the store at `path`, held on PATH.lock.
std::unique_ptr<index_store_io::held_lock> lock(const std::string& path);

}  // namespace minihost::system_file
