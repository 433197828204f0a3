// How the index store reaches its file: the system's files, or files in memory that tests and the
// fuzzer cut and make fail at will.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace minihost {

// Every operation names the file by its UTF-8 path and raises zorb::exception with the path and
// the system's reason when the system fails.
class index_store_io {
public:
    class held_lock {
    public:
        virtual ~held_lock() = default;
    };

    virtual ~index_store_io() = default;
    // Waits for the exclusive lock of the store at `path` (held on PATH.lock, a file of its own that
    // is never replaced), and holds it until the returned object goes.
    virtual std::unique_ptr<held_lock> lock(const std::string& path) = 0;
    // The file's bytes from `offset` on, at most `max_size` of them, into `out`, and its size into
    // `file_size`; false, both empty, when there is no file.
    virtual bool read(const std::string& path, uint64_t offset, uint64_t max_size, std::vector<uint8_t>& out,
                      uint64_t& file_size) = 0;
    // Cuts the file to `offset` bytes, writes `size` bytes at that offset and flushes the file to
    // the disk before returning. Raises when the file is missing or shorter than `offset`.
    virtual void write_at(const std::string& path, uint64_t offset, const uint8_t* data, size_t size) = 0;
    // Makes `size` bytes the file's whole content: written to PATH.new, flushed to the disk, renamed
    // over PATH, and the rename flushed; a failure leaves PATH as it was.
    virtual void replace(const std::string& path, const uint8_t* data, size_t size) = 0;
};

// The system's files.
std::shared_ptr<index_store_io> system_index_store_io();

// Files in memory. A write that is told to fail writes part of its data and raises, as a full disk
// or a failing device would.
class memory_index_store_io final : public index_store_io {
public:
    std::unique_ptr<held_lock> lock(const std::string& path) override;
    bool read(const std::string& path, uint64_t offset, uint64_t max_size, std::vector<uint8_t>& out,
              uint64_t& file_size) override;
    void write_at(const std::string& path, uint64_t offset, const uint8_t* data, size_t size) override;
    void replace(const std::string& path, const uint8_t* data, size_t size) override;

    // The files, by path; PATH.new stays behind when a replace fails.
    std::map<std::string, std::vector<uint8_t>> files;
    // The next write_at or replace writes only this many bytes of its data, then raises.
    std::optional<size_t> fail_after;
    size_t writes = 0;  // write_at and replace calls that succeeded

private:
    void fail_if_told(std::vector<uint8_t>& file, const uint8_t* data, size_t size);
    std::mutex lock_;
};

}  // namespace minihost
