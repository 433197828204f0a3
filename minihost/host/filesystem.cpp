#include "minihost/host/filesystem.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <limits>

#include "minihost/host/host.h"
#include "zorb/files.h"
#include "zorb/string.h"

namespace minihost {
namespace {

constexpr char file_scheme[] = "file://";
// From 1601-01-01 to 1970-01-01 in 100 ns units.
constexpr int64_t unix_epoch_in_file_time = 116444736000000000;

// The MIME types of the extensions the host knows, compared without regard to case.
struct content_type_row {
    const char* extension;
    const char* type;
};
const content_type_row content_types[] = {
    {"wav", "audio/wav"},       {"mod", "audio/x-mod"},
    {"s3m", "audio/x-s3m"},     {"xm", "audio/x-xm"},
    {"it", "audio/x-it"},       {"mp3", "audio/mpeg"},
    {"flac", "audio/flac"},     {"ogg", "audio/ogg"},
    {"opus", "audio/opus"},     {"m4a", "audio/mp4"},
    {"aiff", "audio/aiff"},     {"txt", "text/plain"},
    {"m3u", "audio/x-mpegurl"}, {"m3u8", "application/vnd.apple.mpegurl"},
};

#ifndef _WIN32
// Other systems than Windows know no sharing modes; locks are the host's (file_lock_manager).
class local_file : public file {
public:
    local_file(std::fstream stream, std::filesystem::path path, bool writable)
        : stream_(std::move(stream)), path_(std::move(path)), writable_(writable) {}

    uint64_t get_size(abort_callback& abort) override {
        abort.check();
        stream_.clear();
        const auto position = stream_.tellg();
        stream_.seekg(0, std::ios::end);
        const auto end = stream_.tellg();
        stream_.seekg(position);
        if (end < 0) throw velmora_io::exception_io("Cannot find the size of " + zorb::utf8_path(path_));
        return static_cast<uint64_t>(end);
    }
    uint64_t get_timestamp(abort_callback& abort) override {
        abort.check();
        std::error_code error;
        const auto time = std::filesystem::last_write_time(path_, error);
        return error ? filetimestamp_invalid : host_file_time(time);
    }
    size_t read(void* buffer, size_t byte_count, abort_callback& abort) override {
        abort.check();
        stream_.clear();
        stream_.read(static_cast<char*>(buffer), static_cast<std::streamsize>(byte_count));
        const auto count = static_cast<size_t>(stream_.gcount());
        if (stream_.bad()) throw velmora_io::exception_io("Cannot read " + zorb::utf8_path(path_));
        stream_.clear();
        return count;
    }
    void write(const void* buffer, size_t byte_count, abort_callback& abort) override {
        abort.check();
        if (!writable_) throw velmora_io::exception_io_denied();
        stream_.clear();
        stream_.write(static_cast<const char*>(buffer), static_cast<std::streamsize>(byte_count));
        if (!stream_.flush()) throw velmora_io::exception_io("Cannot write " + zorb::utf8_path(path_));
    }
    bool get_content_type(zorb::string_base& out) override { return local_content_type(zorb::utf8_path(path_), out); }
    bool is_remote() override { return false; }
    void seek(uint64_t offset, abort_callback& abort) override {
        abort.check();
        stream_.clear();
        // One position serves reading and writing in a file stream.
        if (offset > static_cast<uint64_t>(std::numeric_limits<std::streamoff>::max()) ||
            !stream_.seekg(static_cast<std::streamoff>(offset)))
            throw velmora_io::exception_io("Cannot seek in " + zorb::utf8_path(path_));
    }
    uint64_t get_position(abort_callback& abort) override {
        abort.check();
        stream_.clear();
        const auto position = stream_.tellg();
        if (position < 0) throw velmora_io::exception_io("Cannot find the position in " + zorb::utf8_path(path_));
        return static_cast<uint64_t>(position);
    }
    bool can_seek() override { return true; }

private:
    std::fstream stream_;
    std::filesystem::path path_;
    bool writable_;
};

}  // namespace

service_ptr_t<file> open_local_file(const std::string& path, filesystem::open_mode mode) {
    const std::filesystem::path local = zorb::native_path(path);
    std::error_code error;
    const auto status = std::filesystem::status(local, error);
    if (mode != filesystem::open_mode_write_new && !std::filesystem::exists(status))
        throw velmora_io::exception_io_not_found();
    if (std::filesystem::is_directory(status)) throw velmora_io::exception_io_denied();
    std::ios::openmode flags = std::ios::binary | std::ios::in;
    if (mode == filesystem::open_mode_write_existing) flags |= std::ios::out;
    if (mode == filesystem::open_mode_write_new) flags |= std::ios::out | std::ios::trunc;
    std::fstream stream(local, flags);
    if (!stream.is_open()) throw velmora_io::exception_io_denied();
    return service_ptr_t<file>(
        new service_impl_t<local_file>(std::move(stream), local, mode != filesystem::open_mode_read));
}

std::string fold_path_case(const std::string& path) { return path; }

namespace {
#endif

class local_filesystem : public filesystem_v2 {
public:
    bool is_our_path(const char* path) override { return is_local_path(path); }

    void open(service_ptr_t<file>& out, const char* path, open_mode mode, abort_callback& abort) override {
        abort.check();
        out = open_local_file(local_path_of(path), mode);
    }

    void get_display_path(const char* path, zorb::string_base& out) override {
        out.set_string(local_path_of(path).c_str());
    }

    void get_file_name(const char* path, zorb::string_base& out) override {
        out.set_string(file_name_of(local_path_of(path)).c_str());
    }
    char get_separator() override { return local_path_separator; }
};

}  // namespace

bool local_content_type(const std::string& path, zorb::string_base& out) {
    const std::string name = file_name_of(path);
    const size_t dot = name.find_last_of('.');
    if (dot == std::string::npos) return false;
    for (const content_type_row& row : content_types)
        if (zorb::equal_ascii_nocase(name.substr(dot + 1), row.extension)) {
            out.set_string(row.type);
            return true;
        }
    return false;
}

std::string file_identity(const std::string& path) { return fold_path_case(canonical_track_path(path)); }

std::string local_path_of(const std::string& path) {
    if (!path.starts_with(file_scheme)) return path;
    std::string local = path.substr(sizeof file_scheme - 1);
#ifdef _WIN32
    if (local.size() >= 3 && local[0] == '/' && local[2] == ':') local.erase(0, 1);
#endif
    return local;
}

bool is_local_path(const std::string& path) {
    if (path.starts_with(file_scheme)) return true;
    // A scheme is letters (and digits, +, -, .) before "://"; a Windows path has at most a drive colon.
    const size_t scheme_end = path.find("://");
    if (scheme_end == std::string::npos || scheme_end == 0) return true;
    for (size_t i = 0; i < scheme_end; ++i) {
        const char c = path[i];
        const bool scheme_char = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                                 c == '+' || c == '-' || c == '.';
        if (!scheme_char) return true;
    }
    return false;
}

std::string canonical_track_path(const std::string& path) {
    if (!is_local_path(path)) return path;
    std::error_code error;
    std::filesystem::path local = std::filesystem::absolute(zorb::native_path(local_path_of(path)), error);
    if (error) return path;
    local = local.lexically_normal();
    local.make_preferred();
    return file_scheme + zorb::utf8_path(local);
}

uint64_t host_file_time(std::filesystem::file_time_type time) {
    using hundred_nanoseconds = std::chrono::duration<int64_t, std::ratio<1, 10000000>>;
    const auto since_unix_epoch =
        std::chrono::duration_cast<hundred_nanoseconds>(std::chrono::file_clock::to_sys(time).time_since_epoch());
    const int64_t value = since_unix_epoch.count() + unix_epoch_in_file_time;
    return value > 0 ? static_cast<uint64_t>(value) : filetimestamp_invalid;
}

service_ptr make_local_filesystem() { return service_ptr(new service_impl_t<local_filesystem>()); }

}  // namespace minihost
