// Local files on Windows, opened with the system's sharing modes: a file being read may be read
// (and renamed over) by others but not written; a file being written is nobody else's. When
// another program holds a file in a way that excludes ours, the open fails with the system's
// sharing violation, which the component may wait out.
#include <windows.h>

#include <algorithm>

#include "minihost/host/filesystem.h"
#include "minihost/host/system_message.h"
#include "zorb/unicode.h"

namespace minihost {
namespace {

[[noreturn]] void raise_open_failure(DWORD code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            throw velmora_io::exception_io_not_found();
        case ERROR_ACCESS_DENIED:
            throw velmora_io::exception_io_denied();
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            throw velmora_io::exception_io_sharing_violation(system_message(code));
        default:
            throw velmora_io::exception_io(system_message(code));
    }
}

bool on_network_share(const std::wstring& path) {
    if (path.starts_with(L"\\\\")) return true;
    if (path.size() < 3 || path[1] != L':') return false;
    const std::wstring root = path.substr(0, 2) + L"\\";
    return GetDriveTypeW(root.c_str()) == DRIVE_REMOTE;
}

class local_file : public file {
public:
    local_file(HANDLE handle, std::string path, bool writable)
        : handle_(handle), path_(std::move(path)), writable_(writable) {}
    ~local_file() { CloseHandle(handle_); }

    uint64_t get_size(abort_callback& abort) override {
        abort.check();
        LARGE_INTEGER size;
        if (!GetFileSizeEx(handle_, &size)) fail("Cannot find the size of ");
        return static_cast<uint64_t>(size.QuadPart);
    }
    uint64_t get_timestamp(abort_callback& abort) override {
        abort.check();
        FILETIME written;
        if (!GetFileTime(handle_, nullptr, nullptr, &written)) return filetimestamp_invalid;
        return (static_cast<uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
    }
    size_t read(void* buffer, size_t byte_count, abort_callback& abort) override {
        abort.check();
        size_t total = 0;
        while (total < byte_count) {
            DWORD got = 0;
            const DWORD asked = static_cast<DWORD>(std::min<size_t>(byte_count - total, 1u << 24));
            if (!ReadFile(handle_, static_cast<char*>(buffer) + total, asked, &got, nullptr)) fail("Cannot read ");
            if (got == 0) break;
            total += got;
        }
        return total;
    }
    void write(const void* buffer, size_t byte_count, abort_callback& abort) override {
        abort.check();
        if (!writable_) throw velmora_io::exception_io_denied();
        size_t total = 0;
        while (total < byte_count) {
            DWORD put = 0;
            const DWORD asked = static_cast<DWORD>(std::min<size_t>(byte_count - total, 1u << 24));
            if (!WriteFile(handle_, static_cast<const char*>(buffer) + total, asked, &put, nullptr) || put == 0)
                fail("Cannot write ");
            total += put;
        }
    }
    bool get_content_type(zorb::string_base& out) override { return local_content_type(path_, out); }
    bool is_remote() override { return on_network_share(zorb::wide_from_utf8(path_)); }
    void seek(uint64_t offset, abort_callback& abort) override {
        abort.check();
        LARGE_INTEGER position;
        position.QuadPart = static_cast<LONGLONG>(offset);
        if (offset > static_cast<uint64_t>(INT64_MAX) || !SetFilePointerEx(handle_, position, nullptr, FILE_BEGIN))
            fail("Cannot seek in ");
    }
    uint64_t get_position(abort_callback& abort) override {
        abort.check();
        LARGE_INTEGER here, none;
        none.QuadPart = 0;
        if (!SetFilePointerEx(handle_, none, &here, FILE_CURRENT)) fail("Cannot find the position in ");
        return static_cast<uint64_t>(here.QuadPart);
    }
    bool can_seek() override { return true; }

private:
    [[noreturn]] void fail(const char* what) const {
        throw velmora_io::exception_io(what + path_ + ": " + system_message(GetLastError()));
    }

    HANDLE handle_;
    std::string path_;
    bool writable_;
};

}  // namespace

service_ptr_t<file> open_local_file(const std::string& path, filesystem::open_mode mode) {
    const bool reading = mode == filesystem::open_mode_read;
    const DWORD access = reading ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
    const DWORD sharing = reading ? FILE_SHARE_READ | FILE_SHARE_DELETE : 0;
    const DWORD disposition = mode == filesystem::open_mode_write_new ? CREATE_ALWAYS : OPEN_EXISTING;
    HANDLE handle = CreateFileW(zorb::wide_from_utf8(path).c_str(), access, sharing, nullptr, disposition,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) raise_open_failure(GetLastError());
    return service_ptr_t<file>(new service_impl_t<local_file>(handle, path, !reading));
}

std::string fold_path_case(const std::string& path) {
    std::wstring wide = zorb::wide_from_utf8(path);
    CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
    return zorb::utf8_from_wide(wide);
}

}  // namespace minihost
