// The index store's files on Windows: ReadFile and WriteFile at offsets, FlushFileBuffers,
// LockFileEx, MoveFileExW.
#include <windows.h>

#include <algorithm>
#include <system_error>

#include "minihost/host/index_store_io.h"
#include "zorb/exception.h"
#include "zorb/unicode.h"

namespace minihost {

namespace {

[[noreturn]] void fail(const std::string& doing, const std::string& path, DWORD code = GetLastError()) {
    throw zorb::exception("Cannot " + doing + " the index store " + path + ": " +
                          std::system_category().message(int(code)));
}

// A handle closed when it goes.
class handle {
public:
    explicit handle(HANDLE value) : value_(value) {}
    handle(const handle&) = delete;
    handle& operator=(const handle&) = delete;
    ~handle() {
        if (valid()) CloseHandle(value_);
    }
    bool valid() const { return value_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return value_; }

private:
    HANDLE value_;
};

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

uint64_t size_of(const handle& file, const std::string& path, const char* doing) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) fail(doing, path);
    return uint64_t(size.QuadPart);
}

void write_all(const handle& file, uint64_t offset, const uint8_t* data, size_t size, const std::string& path) {
    while (size) {
        OVERLAPPED place = at(offset);
        DWORD written = 0;
        const DWORD chunk = DWORD(std::min<size_t>(size, 1u << 30));
        if (!WriteFile(file.get(), data, chunk, &written, &place)) fail("write", path);
        data += written;
        size -= written;
        offset += written;
    }
}

class file_lock final : public index_store_io::held_lock {
public:
    explicit file_lock(const std::string& path)
        : file_(open_shared(path + ".lock", GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS)) {
        if (!file_.valid()) fail("lock", path);
        OVERLAPPED whole{};
        if (!LockFileEx(file_.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) fail("lock", path);
    }
    ~file_lock() override {
        OVERLAPPED whole{};
        UnlockFileEx(file_.get(), 0, MAXDWORD, MAXDWORD, &whole);
    }

private:
    handle file_;
};

class system_io final : public index_store_io {
public:
    std::unique_ptr<held_lock> lock(const std::string& path) override { return std::make_unique<file_lock>(path); }

    bool read(const std::string& path, uint64_t offset, uint64_t max_size, std::vector<uint8_t>& out,
              uint64_t& file_size) override {
        out.clear();
        file_size = 0;
        handle file(open_shared(path, GENERIC_READ, OPEN_EXISTING));
        if (!file.valid()) {
            const DWORD code = GetLastError();
            if (code == ERROR_FILE_NOT_FOUND) return false;
            fail("read", path, code);
        }
        file_size = size_of(file, path, "read");
        if (offset >= file_size) return true;
        out.resize(size_t(std::min(max_size, file_size - offset)));
        size_t done = 0;
        while (done < out.size()) {
            OVERLAPPED place = at(offset + done);
            DWORD got = 0;
            const DWORD chunk = DWORD(std::min<size_t>(out.size() - done, 1u << 30));
            if (!ReadFile(file.get(), out.data() + done, chunk, &got, &place)) {
                if (GetLastError() == ERROR_HANDLE_EOF) break;
                fail("read", path);
            }
            if (got == 0) break;
            done += got;
        }
        out.resize(done);
        return true;
    }

    void write_at(const std::string& path, uint64_t offset, const uint8_t* data, size_t size) override {
        handle file(open_shared(path, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING));
        if (!file.valid()) fail("write", path);
        const uint64_t size_now = size_of(file, path, "write");
        if (size_now < offset) fail("write", path, ERROR_INVALID_DATA);
        if (size_now != offset) {
            LARGE_INTEGER end{};
            end.QuadPart = LONGLONG(offset);
            if (!SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN) || !SetEndOfFile(file.get()))
                fail("write", path);
        }
        write_all(file, offset, data, size, path);
        if (!FlushFileBuffers(file.get())) fail("flush", path);
    }

    void replace(const std::string& path, const uint8_t* data, size_t size) override {
        const std::string fresh = path + ".new";
        try {
            handle file(open_shared(fresh, GENERIC_WRITE, CREATE_ALWAYS));
            if (!file.valid()) fail("write", fresh);
            write_all(file, 0, data, size, fresh);
            if (!FlushFileBuffers(file.get())) fail("flush", fresh);
        } catch (...) {
            DeleteFileW(zorb::wide_from_utf8(fresh).c_str());
            throw;
        }
        // Write-through: the rename is on the disk when the call returns.
        if (!MoveFileExW(zorb::wide_from_utf8(fresh).c_str(), zorb::wide_from_utf8(path).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            const DWORD code = GetLastError();
            DeleteFileW(zorb::wide_from_utf8(fresh).c_str());
            fail("replace", path, code);
        }
    }
};

}  // namespace

std::shared_ptr<index_store_io> system_index_store_io() { return std::make_shared<system_io>(); }

}  // namespace minihost
