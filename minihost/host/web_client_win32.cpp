// The web client over WinHTTP: one session per request, the whole response read into memory.
#include <windows.h>

#include <winhttp.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "minihost/host/system_message.h"
#include "minihost/host/web_client.h"
#include "zorb/unicode.h"

namespace minihost {
namespace {

// WinHTTP keeps the texts of its errors in winhttp.dll, or (in some systems) only in wininet.dll,
// which shares their numbers.
[[noreturn]] void fail() {
    const DWORD code = GetLastError();
    static HMODULE const wininet = LoadLibraryExW(L"wininet.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    throw velmora_io::exception_io(system_message(code, {GetModuleHandleW(L"winhttp.dll"), wininet}));
}

// Closes a WinHTTP handle when it goes.
class internet_handle {
public:
    explicit internet_handle(HINTERNET handle) : handle_(handle) {
        if (handle_ == nullptr) fail();
    }
    ~internet_handle() { WinHttpCloseHandle(handle_); }
    internet_handle(const internet_handle&) = delete;
    internet_handle& operator=(const internet_handle&) = delete;
    operator HINTERNET() const { return handle_; }

private:
    HINTERNET handle_;
};

// A response body: read from memory; it cannot be written.
class response_file : public file {
public:
    explicit response_file(std::vector<uint8_t> body) : body_(std::move(body)) {}

    uint64_t get_size(abort_callback& abort) override {
        abort.check();
        return body_.size();
    }
    uint64_t get_timestamp(abort_callback& abort) override {
        abort.check();
        return filetimestamp_invalid;
    }
    size_t read(void* buffer, size_t byte_count, abort_callback& abort) override {
        abort.check();
        const size_t count = std::min(byte_count, body_.size() - position_);
        if (count) std::memcpy(buffer, body_.data() + position_, count);
        position_ += count;
        return count;
    }
    void write(const void*, size_t, abort_callback&) override { throw velmora_io::exception_io_denied(); }
    bool is_remote() override { return true; }
    void reopen(abort_callback& abort) override {
        abort.check();
        position_ = 0;
    }

private:
    std::vector<uint8_t> body_;
    size_t position_ = 0;
};

std::wstring query_text(HINTERNET request, DWORD what) {
    DWORD size = 0;
    WinHttpQueryHeaders(request, what, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER, &size,
                        WINHTTP_NO_HEADER_INDEX);
    if (size == 0) return {};
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    if (!WinHttpQueryHeaders(request, what, WINHTTP_HEADER_NAME_BY_INDEX, text.data(), &size, WINHTTP_NO_HEADER_INDEX))
        return {};
    text.resize(size / sizeof(wchar_t));
    return text;
}

class winhttp_request : public http_request {
public:
    winhttp_request(const command_settings& settings, const char* method)
        : settings_(settings), method_(zorb::wide_from_utf8(method)) {}

    void add_header(const char* name, const char* value) override {
        headers_ += zorb::wide_from_utf8(std::string(name) + ": " + value + "\r\n");
    }

    service_ptr_t<file> run(const char* url, abort_callback& abort) override {
        abort.check();
        std::wstring target = zorb::wide_from_utf8(resolve_web_url(settings_.web_map, url));
        URL_COMPONENTS parts{};
        parts.dwStructSize = sizeof parts;
        parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = static_cast<DWORD>(-1);
        if (!WinHttpCrackUrl(target.c_str(), 0, 0, &parts)) fail();
        const std::wstring host_name(parts.lpszHostName, parts.dwHostNameLength);
        std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
        path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
        if (path.empty()) path = L"/";

        internet_handle session(WinHttpOpen(L"minihost (velmora host)", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                            WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
        WinHttpSetTimeouts(session, 10000, 10000, 15000, 30000);
        internet_handle connection(WinHttpConnect(session, host_name.c_str(), parts.nPort, 0));
        const DWORD secure = parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0;
        internet_handle request(WinHttpOpenRequest(connection, method_.c_str(), path.c_str(), nullptr,
                                                   WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, secure));
        if (!headers_.empty() &&
            !WinHttpAddRequestHeaders(request, headers_.c_str(), static_cast<DWORD>(-1), WINHTTP_ADDREQ_FLAG_ADD))
            fail();
        abort.check();
        if (!WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0)) fail();
        abort.check();
        if (!WinHttpReceiveResponse(request, nullptr)) fail();
        check_status(request);
        return service_ptr_t<file>(new service_impl_t<response_file>(read_body(request, abort)));
    }

private:
    static void check_status(HINTERNET request) {
        DWORD status = 0, size = sizeof status;
        if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                 WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
            fail();
        if (status < 400) return;
        const std::string reason = zorb::utf8_from_wide(query_text(request, WINHTTP_QUERY_STATUS_TEXT));
        throw velmora_io::exception_io("HTTP " + std::to_string(status) + (reason.empty() ? "" : " " + reason));
    }

    static std::vector<uint8_t> read_body(HINTERNET request, abort_callback& abort) {
        std::vector<uint8_t> body;
        for (;;) {
            abort.check();
            DWORD available = 0;
            if (!WinHttpQueryDataAvailable(request, &available)) fail();
            if (available == 0) return body;
            const size_t start = body.size();
            body.resize(start + available);
            DWORD got = 0;
            if (!WinHttpReadData(request, body.data() + start, available, &got)) fail();
            body.resize(start + got);
            if (got == 0) return body;
        }
    }

    const command_settings& settings_;
    std::wstring method_;
    std::wstring headers_;
};

class winhttp_client : public http_client {
public:
    explicit winhttp_client(const command_settings& settings) : settings_(settings) {}
    service_ptr_t<http_request> create_request(const char* method) override {
        return service_ptr_t<http_request>(new service_impl_t<winhttp_request>(settings_, method));
    }

private:
    const command_settings& settings_;
};

}  // namespace

service_ptr make_web_client(const command_settings& settings) {
    return service_ptr(new service_impl_t<winhttp_client>(settings));
}

}  // namespace minihost
