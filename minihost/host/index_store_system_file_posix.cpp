// The index store's files on a POSIX system: pread, pwrite, fsync, flock.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "minihost/host/index_store_system_file.h"
#include "zorb/exception.h"
#include "zorb/files.h"

namespace minihost::system_file {

namespace {

[[noreturn]] void fail(const char* doing, const std::string& path, int error = errno) {
    throw zorb::exception(std::string("Cannot ") + doing + " the index store " + path + ": " + std::strerror(error));
}

int open_retrying(const std::string& path, int flags) {
    int fd;
    do fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
    while (fd < 0 && errno == EINTR);
    return fd;
}

class posix_file final : public file {
public:
    posix_file(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    ~posix_file() override { ::close(fd_); }

    uint64_t size() override {
        struct stat info {};
        if (::fstat(fd_, &info) != 0) fail("read", path_);
        return uint64_t(info.st_size);
    }
    size_t read_at(uint64_t offset, uint8_t* out, size_t size) override {
        for (;;) {
            const ssize_t got = ::pread(fd_, out, size, off_t(offset));
            if (got >= 0) return size_t(got);
            if (errno != EINTR) fail("read", path_);
        }
    }
    void write_at(uint64_t offset, const uint8_t* data, size_t size) override {
        while (size) {
            const ssize_t written = ::pwrite(fd_, data, size, off_t(offset));
            if (written < 0 && errno == EINTR) continue;
            if (written < 0) fail("write", path_);
            data += written;
            size -= size_t(written);
            offset += uint64_t(written);
        }
    }
    void cut(uint64_t size) override {
        if (::ftruncate(fd_, off_t(size)) != 0) fail("write", path_);
    }
    void flush() override {
        if (::fsync(fd_) != 0) fail("flush", path_);
    }

private:
    int fd_;
    std::string path_;
};

class file_lock final : public index_store_io::held_lock {
public:
    explicit file_lock(const std::string& path) : fd_(open_retrying(path + ".lock", O_RDWR | O_CREAT)) {
        if (fd_ < 0) fail("lock", path);
        while (::flock(fd_, LOCK_EX) != 0)
            if (errno != EINTR) fail("lock", path);
    }
    // Closing the descriptor releases the lock.
    ~file_lock() override { ::close(fd_); }

private:
    int fd_;
};

}  // namespace

std::unique_ptr<file> file::open(const std::string& path, access how) {
    const int flags = how == access::read ? O_RDONLY : how == access::write ? O_RDWR : O_WRONLY | O_CREAT | O_TRUNC;
    const int fd = open_retrying(path, flags);
    if (fd >= 0) return std::make_unique<posix_file>(fd, path);
    if (how == access::read && errno == ENOENT) return nullptr;
    fail(how == access::read ? "read" : "write", path);
}

void rename_over(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) fail("replace", to);
    // The rename is durable once the folder that holds both names is.
    const std::string folder = zorb::utf8_path(zorb::native_path(to).parent_path());
    const int fd = open_retrying(folder.empty() ? "." : folder, O_RDONLY | O_DIRECTORY);
    if (fd < 0) fail("flush the folder of", to);
    posix_file(fd, to).flush();
}

void remove(const std::string& path) { ::unlink(path.c_str()); }

std::unique_ptr<index_store_io::held_lock> lock(const std::string& path) { return std::make_unique<file_lock>(path); }

}  // namespace minihost::system_file
