// The host's file system: services that each claim some paths (local paths, file:// URLs, ...) and
// open files on them. Files are host objects; the component only reads them through this interface.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/abort.h"
#include "host/exceptions.h"
#include "host/host_api.h"
#include "host/service.h"
#include "zorb/string.h"

// File times count 100-nanosecond intervals since 1601-01-01 UTC, as Windows keeps them.
constexpr uint64_t filetimestamp_invalid = 0;
// The size of a file that does not know its size (a stream).
constexpr uint64_t filesize_invalid = ~uint64_t(0);

// An open file, the host's object. Any thread, one thread at a time; closed when the last
// reference goes. Each operation raises velmora_io::exception_aborted once `abort` asks for it, and
// the file system's exception_io failures.
class file : public service_base {
public:
    static constexpr GUID class_guid = {0x29762FBE, 0x232C, 0x43C8, {0xB2, 0xCA, 0xFE, 0x4D, 0x05, 0x51, 0x21, 0xC5}};
    using parent_t = service_base;

    // Size in bytes; filesize_invalid when the file does not know it.
    virtual uint64_t get_size(abort_callback& abort) = 0;
    // Last modification time; filetimestamp_invalid when the file system keeps none.
    virtual uint64_t get_timestamp(abort_callback& abort) = 0;
    // Reads up to `byte_count` bytes at the current position; fewer only at the end of the file.
    virtual size_t read(void* buffer, size_t byte_count, abort_callback& abort) = 0;
    // Writes all `byte_count` bytes at the current position; raises exception_io_denied on a
    // file opened for reading.
    virtual void write(const void* buffer, size_t byte_count, abort_callback& abort) = 0;
    // Moves the position to `offset` bytes from the start; reads past the end give nothing. A
    // stream that can only be read onwards raises exception_io_object_not_seekable.
    virtual void seek(uint64_t offset, abort_callback& abort) {
        abort.check();
        (void)offset;
        throw velmora_io::exception_io_object_not_seekable();
    }
    // The current position in bytes from the start; a stream that keeps none raises
    // exception_io_object_not_seekable.
    virtual uint64_t get_position(abort_callback& abort) {
        abort.check();
        throw velmora_io::exception_io_object_not_seekable();
    }
    // True when seek and get_position work. Raises nothing.
    virtual bool can_seek() { return false; }
    // The MIME type of the content into `out` ("audio/wav"): true, or false with `out` untouched
    // when the file system does not know it. Raises nothing.
    virtual bool get_content_type(zorb::string_base& out) {
        (void)out;
        return false;
    }
    // True for a file that lives on another machine. Raises nothing.
    virtual bool is_remote() { return false; }
    // Back to the first byte, as just after opening; a stream that cannot go back raises
    // exception_io_object_not_seekable.
    virtual void reopen(abort_callback& abort) { seek(0, abort); }

    // Copies everything from the position of `source` to its end into `target` at its position;
    // the number of bytes copied. Raises what the two files raise.
    static uint64_t g_transfer_file(file& source, file& target, abort_callback& abort) {
        uint8_t buffer[64 * 1024];
        uint64_t total = 0;
        for (;;) {
            const size_t got = source.read(buffer, sizeof buffer, abort);
            if (got > 0) target.write(buffer, got, abort);
            total += got;
            if (got < sizeof buffer) return total;
        }
    }
};

class filesystem : public service_base {
public:
    static constexpr GUID class_guid = {0xB010271F, 0xF2ED, 0x42C4, {0x9A, 0x88, 0x3A, 0xD6, 0x08, 0xB4, 0xE4, 0x90}};
    using parent_t = service_base;

    enum open_mode {
        open_mode_read,            // an existing file, read only
        open_mode_write_existing,  // an existing file, read and write, content kept
        open_mode_write_new,       // a new file, or an existing one emptied; read and write
    };

    // Any thread. True when this file system handles `path` (UTF-8). Raises nothing.
    virtual bool is_our_path(const char* path) = 0;
    // Any thread. Opens `path` and stores the file with one reference owned by the caller.
    // Raises exception_io_not_found, exception_io_denied or another exception_io.
    virtual void open(service_ptr_t<file>& out, const char* path, open_mode mode, abort_callback& abort) = 0;
    // Any thread. The form of `path` (one this file system handles) that a person reads, as the
    // host shows it in its lists and messages: for a local file its path without the URL scheme.
    // Raises nothing.
    virtual void get_display_path(const char* path, zorb::string_base& out) = 0;

    // Opens `path` through the first of the host's file systems that claims it. Raises
    // exception_io_no_handler_for_path when none does, otherwise what that file system raises.
    static service_ptr_t<file> g_open(host_api& api, const char* path, open_mode mode, abort_callback& abort) {
        abort.check();
        service_ptr_t<filesystem> system = g_find(api, path);
        if (!system) throw velmora_io::exception_io_no_handler_for_path();
        service_ptr_t<file> opened;
        system->open(opened, path, mode, abort);
        return opened;
    }

    // The display form of `path` from the first file system that claims it; `path` unchanged when
    // none does. Raises nothing.
    static void g_get_display_path(host_api& api, const char* path, zorb::string_base& out) {
        if (service_ptr_t<filesystem> system = g_find(api, path)) {
            system->get_display_path(path, out);
            return;
        }
        out.set_string(path);
    }

    // The first of the host's file systems that claims `path`, or an empty pointer.
    static service_ptr_t<filesystem> g_find(host_api& api, const char* path) {
        service_class_ref cls = api.service_enum_find_class(class_guid);
        const size_t count = api.service_enum_get_count(cls);
        for (size_t index = 0; index < count; ++index) {
            service_base* object = nullptr;
            if (!api.service_enum_create(object, cls, index)) continue;
            auto system = service_ptr_t<filesystem>::adopt(static_cast<filesystem*>(object));
            if (system->is_our_path(path)) return system;
        }
        return {};
    }
};

// The later version of a file system, found through the filesystem class and asked for by its
// own GUID; a file system may well not offer it. Any thread; raises nothing.
class filesystem_v2 : public filesystem {
public:
    static constexpr GUID class_guid = {0xDAF04CE2, 0x36A5, 0x4346, {0x80, 0x7F, 0x77, 0x8C, 0x5B, 0x5C, 0x26, 0xAA}};
    using parent_t = filesystem;
    using service_class_t = filesystem;

    // The file name part of `path` (one this file system handles): what follows its last separator.
    virtual void get_file_name(const char* path, zorb::string_base& out) = 0;
    // The character that separates the folders of a path and the file name.
    virtual char get_separator() = 0;
};
