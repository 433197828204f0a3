// The index store's files on a POSIX system: pread, pwrite, fsync, flock.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "minihost/host/index_store_io.h"
#include "zorb/exception.h"
#include "zorb/files.h"

namespace minihost {

namespace {

[[noreturn]] void fail(const std::string& doing, const std::string& path, int error) {
    throw zorb::exception("Cannot " + doing + " the index store " + path + ": " + std::strerror(error));
}

// A file descriptor closed when it goes.
class descriptor {
public:
    explicit descriptor(int fd) : fd_(fd) {}
    descriptor(const descriptor&) = delete;
    descriptor& operator=(const descriptor&) = delete;
    ~descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    // Closes now, so that a failing close is seen.
    int close() {
        const int result = ::close(fd_);
        fd_ = -1;
        return result;
    }

private:
    int fd_;
};

int open_retrying(const std::string& path, int flags, mode_t mode = 0644) {
    int fd;
    do fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
}

void write_all(int fd, uint64_t offset, const uint8_t* data, size_t size, const std::string& path) {
    while (size) {
        const ssize_t written = ::pwrite(fd, data, size, off_t(offset));
        if (written < 0) {
            if (errno == EINTR) continue;
            fail("write", path, errno);
        }
        data += written;
        size -= size_t(written);
        offset += uint64_t(written);
    }
}

void sync(int fd, const std::string& path) {
    if (::fsync(fd) != 0) fail("flush", path, errno);
}

class file_lock final : public index_store_io::held_lock {
public:
    explicit file_lock(const std::string& path) : fd_(open_retrying(path + ".lock", O_RDWR | O_CREAT)) {
        if (fd_.get() < 0) fail("lock", path, errno);
        while (::flock(fd_.get(), LOCK_EX) != 0)
            if (errno != EINTR) fail("lock", path, errno);
    }
    // Closing the descriptor releases the lock.

private:
    descriptor fd_;
};

class system_io final : public index_store_io {
public:
    std::unique_ptr<held_lock> lock(const std::string& path) override { return std::make_unique<file_lock>(path); }

    bool read(const std::string& path, uint64_t offset, uint64_t max_size, std::vector<uint8_t>& out,
              uint64_t& file_size) override {
        out.clear();
        file_size = 0;
        descriptor fd(open_retrying(path, O_RDONLY));
        if (fd.get() < 0) {
            if (errno == ENOENT) return false;
            fail("read", path, errno);
        }
        struct stat info {};
        if (::fstat(fd.get(), &info) != 0) fail("read", path, errno);
        file_size = uint64_t(info.st_size);
        if (offset >= file_size) return true;
        out.resize(size_t(std::min(max_size, file_size - offset)));
        size_t done = 0;
        while (done < out.size()) {
            const ssize_t got = ::pread(fd.get(), out.data() + done, out.size() - done, off_t(offset + done));
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) fail("read", path, errno);
            if (got == 0) break;  // shorter than it was a moment ago: what is there is what counts
            done += size_t(got);
        }
        out.resize(done);
        return true;
    }

    void write_at(const std::string& path, uint64_t offset, const uint8_t* data, size_t size) override {
        descriptor fd(open_retrying(path, O_RDWR));
        if (fd.get() < 0) fail("write", path, errno);
        struct stat info {};
        if (::fstat(fd.get(), &info) != 0) fail("write", path, errno);
        if (uint64_t(info.st_size) < offset) fail("write", path, ESPIPE);
        if (uint64_t(info.st_size) != offset && ::ftruncate(fd.get(), off_t(offset)) != 0) fail("write", path, errno);
        write_all(fd.get(), offset, data, size, path);
        sync(fd.get(), path);
        if (fd.close() != 0) fail("write", path, errno);
    }

    void replace(const std::string& path, const uint8_t* data, size_t size) override {
        const std::string fresh = path + ".new";
        try {
            descriptor fd(open_retrying(fresh, O_WRONLY | O_CREAT | O_TRUNC));
            if (fd.get() < 0) fail("write", fresh, errno);
            write_all(fd.get(), 0, data, size, fresh);
            sync(fd.get(), fresh);
            if (fd.close() != 0) fail("write", fresh, errno);
            if (::rename(fresh.c_str(), path.c_str()) != 0) fail("replace", path, errno);
        } catch (...) {
            ::unlink(fresh.c_str());
            throw;
        }
        // The rename is durable once the folder that holds both names is.
        const std::string folder = zorb::utf8_path(zorb::native_path(path).parent_path());
        descriptor dir(open_retrying(folder.empty() ? "." : folder, O_RDONLY | O_DIRECTORY));
        if (dir.get() < 0) fail("flush the folder of", path, errno);
        sync(dir.get(), path);
    }
};

}  // namespace

std::shared_ptr<index_store_io> system_index_store_io() { return std::make_shared<system_io>(); }

}  // namespace minihost
