#include <algorithm>
#include <cstring>

#include "minihost/host/index_store_io.h"
#include "minihost/host/index_store_system_file.h"
#include "zorb/exception.h"

namespace minihost {

namespace {

using system_file::file;

class system_io final : public index_store_io {
public:
    std::unique_ptr<held_lock> lock(const std::string& path) override { return system_file::lock(path); }

    bool read(const std::string& path, uint64_t offset, uint64_t max_size, std::vector<uint8_t>& out,
              uint64_t& file_size) override {
        out.clear();
        file_size = 0;
        const std::unique_ptr<file> source = file::open(path, file::access::read);
        if (!source) return false;
        file_size = source->size();
        if (offset >= file_size) return true;
        out.resize(size_t(std::min(max_size, file_size - offset)));
        size_t done = 0;
        // A file shorter than it was a moment ago gives what is there.
        while (done < out.size()) {
            const size_t got = source->read_at(offset + done, out.data() + done, out.size() - done);
            if (got == 0) break;
            done += got;
        }
        out.resize(done);
        return true;
    }

    void write_at(const std::string& path, uint64_t offset, const uint8_t* data, size_t size) override {
        const std::unique_ptr<file> target = file::open(path, file::access::write);
        const uint64_t size_now = target->size();
        if (size_now < offset)
            throw zorb::exception("Cannot write the index store " + path + ": it is shorter than it was");
        if (size_now != offset) target->cut(offset);
        target->write_at(offset, data, size);
        target->flush();
    }

    void replace(const std::string& path, const uint8_t* data, size_t size) override {
        const std::string fresh = path + ".new";
        try {
            const std::unique_ptr<file> target = file::open(fresh, file::access::create);
            target->write_at(0, data, size);
            target->flush();
        } catch (...) {
            system_file::remove(fresh);
            throw;
        }
        try {
            system_file::rename_over(fresh, path);
        } catch (...) {
            system_file::remove(fresh);
            throw;
        }
    }
};

class memory_lock final : public index_store_io::held_lock {
public:
    explicit memory_lock(std::mutex& mutex) : lock_(mutex) {}

private:
    std::unique_lock<std::mutex> lock_;
};

}  // namespace

std::shared_ptr<index_store_io> system_index_store_io() { return std::make_shared<system_io>(); }

std::unique_ptr<index_store_io::held_lock> memory_index_store_io::lock(const std::string&) {
    return std::make_unique<memory_lock>(lock_);
}

bool memory_index_store_io::read(const std::string& path, uint64_t offset, uint64_t max_size, std::vector<uint8_t>& out,
                                 uint64_t& file_size) {
    out.clear();
    file_size = 0;
    const auto found = files.find(path);
    if (found == files.end()) return false;
    const std::vector<uint8_t>& file = found->second;
    file_size = file.size();
    if (offset < file.size()) {
        const size_t count = size_t(std::min<uint64_t>(max_size, file.size() - offset));
        out.assign(file.begin() + std::ptrdiff_t(offset), file.begin() + std::ptrdiff_t(offset + count));
    }
    return true;
}

void memory_index_store_io::fail_if_told(std::vector<uint8_t>& file, const uint8_t* data, size_t size) {
    if (!fail_after) {
        file.insert(file.end(), data, data + size);
        ++writes;
        return;
    }
    file.insert(file.end(), data, data + std::min(size, *fail_after));
    fail_after.reset();
    throw zorb::exception("Cannot write the index store: the device failed");
}

void memory_index_store_io::write_at(const std::string& path, uint64_t offset, const uint8_t* data, size_t size) {
    const auto found = files.find(path);
    if (found == files.end() || found->second.size() < offset)
        throw zorb::exception("Cannot write the index store " + path + ": it is shorter than expected");
    found->second.resize(size_t(offset));
    fail_if_told(found->second, data, size);
}

void memory_index_store_io::replace(const std::string& path, const uint8_t* data, size_t size) {
    std::vector<uint8_t>& fresh = files[path + ".new"];
    fresh.clear();
    fail_if_told(fresh, data, size);
    files[path] = std::move(fresh);
    files.erase(path + ".new");
}

}  // namespace minihost
