// The index store's files on Windows: ReadFile and WriteFile at offsets, FlushFileBuffers,
// LockFileEx, MoveFileExW.
#include <windows.h>

#include <algorithm>
#include <system_error>

#include "minihost/host/index_store_system_file.h"
#include "zorb/exception.h"
#include "zorb/unicode.h"

namespace minihost::system_file {

namespace {

[[noreturn]] void fail(const char* doing, const std::string& path, DWORD code = GetLastError()) {
    throw zorb::exception(std::string("Cannot ") + doing + " the index store " + path + ": " +
                          std::system_category().message(int(code)));
}

// Every process shares the store's files for reading, writing and replacing; the lock file
// orders what they do with them.
HANDLE open_shared(const std::string& path, DWORD access, DWORD disposition) {
    return CreateFileW(zorb::wide_from_utf8(path).c_str(), access,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

OVERLAPPED at(uint64_t offset) {
    OVERLAPPED place{};
    place.Offset = DWORD(offset);
    place.OffsetHigh = DWORD(offset >> 32);
    return place;
}

// At most this much per ReadFile or WriteFile, whose counts are 32-bit.
constexpr size_t largest_transfer = size_t(1) << 30;

class windows_file final : public file {
public:
    windows_file(HANDLE handle, std::string path) : handle_(handle), path_(std::move(path)) {}
    ~windows_file() override { CloseHandle(handle_); }

    uint64_t size() override {
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(handle_, &size)) fail("read", path_);
        return uint64_t(size.QuadPart);
    }
    size_t read_at(uint64_t offset, uint8_t* out, size_t size) override {
        OVERLAPPED place = at(offset);
        DWORD got = 0;
        if (ReadFile(handle_, out, DWORD(std::min(size, largest_transfer)), &got, &place)) return got;
        if (GetLastError() == ERROR_HANDLE_EOF) return 0;
        fail("read", path_);
    }
    void write_at(uint64_t offset, const uint8_t* data, size_t size) override {
        while (size) {
            OVERLAPPED place = at(offset);
            DWORD written = 0;
            if (!WriteFile(handle_, data, DWORD(std::min(size, largest_transfer)), &written, &place))
                fail("write", path_);
            data += written;
            size -= written;
            offset += written;
        }
    }
    void cut(uint64_t size) override {
        LARGE_INTEGER end{};
        end.QuadPart = LONGLONG(size);
        if (!SetFilePointerEx(handle_, end, nullptr, FILE_BEGIN) || !SetEndOfFile(handle_)) fail("write", path_);
    }
    void flush() override {
        if (!FlushFileBuffers(handle_)) fail("flush", path_);
    }

private:
    HANDLE handle_;
    std::string path_;
};

class file_lock final : public index_store_io::held_lock {
public:
    explicit file_lock(const std::string& path)
        : handle_(open_shared(path + ".lock", GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS)) {
        if (handle_ == INVALID_HANDLE_VALUE) fail("lock", path);
        OVERLAPPED whole{};
        if (!LockFileEx(handle_, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) {
            const DWORD code = GetLastError();
            CloseHandle(handle_);
            fail("lock", path, code);
        }
    }
    ~file_lock() override {
        OVERLAPPED whole{};
        UnlockFileEx(handle_, 0, MAXDWORD, MAXDWORD, &whole);
        CloseHandle(handle_);
    }

private:
    HANDLE handle_;
};

}  // namespace

std::unique_ptr<file> file::open(const std::string& path, access how) {
    const DWORD rights = how == access::read ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
    const DWORD disposition = how == access::create ? CREATE_ALWAYS : OPEN_EXISTING;
    const HANDLE handle = open_shared(path, rights, disposition);
    if (handle != INVALID_HANDLE_VALUE) return std::make_unique<windows_file>(handle, path);
    const DWORD code = GetLastError();
    if (how == access::read && code == ERROR_FILE_NOT_FOUND) return nullptr;
    fail(how == access::read ? "read" : "write", path, code);
}

void rename_over(const std::string& from, const std::string& to) {
    // Write-through: the rename is on the disk when the call returns.
    if (!MoveFileExW(zorb::wide_from_utf8(from).c_str(), zorb::wide_from_utf8(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        fail("replace", to);
}

void remove(const std::string& path) { DeleteFileW(zorb::wide_from_utf8(path).c_str()); }

std::unique_ptr<index_store_io::held_lock> lock(const std::string& path) { return std::make_unique<file_lock>(path); }

}  // namespace minihost::system_file
