// Inputs: the services that recognise files and open decoders on them, and the objects they open.
// Slot order of every interface is fixed: both binaries compile these declarations.
//
// The host finds inputs as services of class input_entry and queries newer versions from them;
// it opens one instance per use (info read, decode, info write) and drives each instance from one
// thread at a time. Failures are host exceptions (host/exceptions.h).
#pragma once

#include <cstdint>

#include "host/abort.h"
#include "host/filesystem.h"
#include "host/records.h"
#include "host/service.h"
#include "zorb/string.h"

// Receives log lines of a decoder; any thread.
class event_logger : public service_base {
public:
    static constexpr GUID class_guid = {0x9CF58F4B, 0x3362, 0x4305, {0x87, 0x31, 0x46, 0xC5, 0x50, 0x24, 0x48, 0xDE}};
    using parent_t = service_base;

    virtual void log_entry(const char* line, unsigned severity) = 0;
};

// File statistics: size in bytes and modification time (host/filesystem.h's unit).
struct file_stats {
    uint64_t size;
    uint64_t timestamp;
};

class input_info_reader : public service_base {
public:
    static constexpr GUID class_guid = {0x83C55FB4, 0xA657, 0x49A1, {0x92, 0xE1, 0xE4, 0x51, 0x16, 0x78, 0x63, 0x24}};
    using parent_t = service_base;

    virtual uint32_t count_subsongs() = 0;
    // The subsong number of the index-th subsong.
    virtual uint32_t subsong_at(uint32_t index) = 0;
    virtual void read_info(uint32_t subsong, file_info& info, abort_callback& abort) = 0;
    virtual file_stats query_file_stats(abort_callback& abort) = 0;
};

class input_decoder : public input_info_reader {
public:
    static constexpr GUID class_guid = {0xDAF98CD1, 0xA390, 0x4222, {0x81, 0x9E, 0x8F, 0x0F, 0x5C, 0x39, 0xB7, 0x01}};
    using parent_t = input_info_reader;

    virtual void initialize(uint32_t subsong, unsigned flags, abort_callback& abort) = 0;
    // Fills `chunk` with the next block; false at the end of the stream.
    virtual bool run(audio_chunk& chunk, abort_callback& abort) = 0;
    virtual void seek(double seconds, abort_callback& abort) = 0;
    virtual bool can_seek() = 0;
    // Information that changes while playing; true when `info` was updated.
    virtual bool poll_stream_info(file_info& info, double& time_offset) = 0;
    virtual bool poll_track_info(file_info& info, double& time_offset) = 0;
    virtual void idle(abort_callback& abort) = 0;
};

class input_decoder_v2 : public input_decoder {
public:
    static constexpr GUID class_guid = {0x93E97EB7, 0xF1C6, 0x4CFB, {0xB4, 0x43, 0x46, 0xE0, 0xAC, 0xDE, 0xD3, 0x4D}};
    using parent_t = input_decoder;

    // Like run, and also hands over the undecoded bytes of the block.
    virtual bool run_with_raw(audio_chunk& chunk, mem_block_container& raw, abort_callback& abort) = 0;
    virtual void attach_logger(service_ptr_t<event_logger> logger) = 0;
};

class input_decoder_v3 : public input_decoder_v2 {
public:
    static constexpr GUID class_guid = {0xBBE62713, 0x009E, 0x493E, {0xA0, 0x05, 0x53, 0xFB, 0x9F, 0x74, 0x9D, 0xFA}};
    using parent_t = input_decoder_v2;

    virtual void notify_pause(bool paused) = 0;
    virtual bool wants_flush_on_pause() = 0;
};

class input_decoder_v4 : public input_decoder_v3 {
public:
    static constexpr GUID class_guid = {0xB297C0BD, 0x394C, 0x40E5, {0xAA, 0xA3, 0x9C, 0x62, 0x16, 0x47, 0xB2, 0x47}};
    using parent_t = input_decoder_v3;

    virtual intptr_t extended_query(const GUID& what, size_t size_argument, void* pointer, size_t size) = 0;
};

class input_info_writer : public input_info_reader {
public:
    static constexpr GUID class_guid = {0xA19887EE, 0x0D06, 0x45E2, {0xA6, 0x3F, 0xD9, 0x4F, 0xA4, 0xE4, 0x94, 0xDA}};
    using parent_t = input_info_reader;

    virtual void write_info(uint32_t subsong, const file_info& info, abort_callback& abort) = 0;
    virtual void finish_write(abort_callback& abort) = 0;
};

// The service class of inputs. `hint` is a file the host may already have open on the path (or
// empty); `extension` is the path's extension without its dot, as the host cuts it.
class input_entry : public service_base {
public:
    static constexpr GUID class_guid = {0x22AA01A4, 0x8032, 0x4E48, {0xB0, 0x6A, 0x78, 0xBA, 0xF3, 0x12, 0x21, 0x36}};
    using parent_t = service_base;

    virtual bool accepts_content_type(const char* content_type) = 0;
    virtual bool accepts_path(const char* path, const char* extension) = 0;
    virtual void open_for_decoding(service_ptr_t<input_decoder>& out, service_ptr_t<file> hint, const char* path,
                                   abort_callback& abort) = 0;
    virtual void open_for_info_read(service_ptr_t<input_info_reader>& out, service_ptr_t<file> hint, const char* path,
                                    abort_callback& abort) = 0;
    virtual void open_for_info_write(service_ptr_t<input_info_writer>& out, service_ptr_t<file> hint, const char* path,
                                     abort_callback& abort) = 0;
    virtual void read_extra_data(service_ptr_t<file> hint, const playable_location& location, const GUID& what,
                                 mem_block_container& out, abort_callback& abort) = 0;
    virtual unsigned get_flags() = 0;
};

class input_entry_v2 : public input_entry {
public:
    static constexpr GUID class_guid = {0x933F1D57, 0x137A, 0x47C1, {0x86, 0x7D, 0xC9, 0x68, 0x25, 0xA9, 0x4A, 0x17}};
    using parent_t = input_entry;
    using service_class_t = input_entry;

    virtual GUID get_guid() = 0;
    virtual const char* get_name() = 0;
    virtual GUID get_settings_page_guid() = 0;
    // True for inputs that the host tries only after every other input declined a path.
    virtual bool is_last_resort() = 0;
};

class input_entry_v3 : public input_entry_v2 {
public:
    static constexpr GUID class_guid = {0x8400C2CE, 0x8670, 0x4F1A, {0x85, 0xCF, 0xCB, 0x97, 0x41, 0x6A, 0x10, 0x50}};
    using parent_t = input_entry_v2;
    using service_class_t = input_entry;

    // Opens an instance of the interface `interface_guid` (input_decoder, input_info_reader or
    // input_info_writer) and stores it with one reference owned by the caller. `logger` may be empty.
    virtual void open_instance(service_ptr& out, const GUID& interface_guid, service_ptr_t<file> hint, const char* path,
                               service_ptr_t<event_logger> logger, abort_callback& abort) = 0;
};

// File types an input offers in the host's open dialogs and file associations.
class input_file_type : public service_base {
public:
    static constexpr GUID class_guid = {0x6AE86713, 0xFB63, 0x4352, {0x8D, 0x32, 0xE9, 0x6A, 0xBC, 0x79, 0xE6, 0x62}};
    using parent_t = service_base;

    virtual unsigned count_types() = 0;
    // The index-th type's display name and mask ("*.a;*.b"): true and the whole text stored, or
    // false with `out` untouched for an index past the count.
    virtual bool type_name(unsigned index, zorb::string_base& out) = 0;
    virtual bool type_mask(unsigned index, zorb::string_base& out) = 0;
    virtual bool may_associate(unsigned index) = 0;
};
