// Inputs: the services that recognise files and open decoders on them, and the objects they open.
// Slot order of every interface is fixed: both binaries compile these declarations.
//
// The host finds inputs as services of class input_entry and queries the newer versions from
// them. It opens one instance per use (info read, decode, info write) and drives each instance from
// one thread at a time, possibly a different one from call to call; instances share nothing, so
// several may run at once on different threads. Unless an operation says otherwise:
// - texts passed in are UTF-8, owned by the caller and valid for the call only;
// - host records passed in (file_info, audio_chunk, mem_block_container, abort_callback) are the
//   host's, lent for the call only;
// - an operation that takes an abort_callback polls it in long work and then raises
//   velmora_io::exception_aborted ("User abort");
// - failures are host exceptions (host/exceptions.h); the host catches them per operation.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/abort.h"
#include "host/filesystem.h"
#include "host/records.h"
#include "host/service.h"
#include "host/service_lookup.h"
#include "zorb/string.h"

// Receives a decoder's log lines. Any thread; `line` is one line without its break. Raises nothing.
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

// What every instance answers, whatever it was opened for. On the thread driving the instance.
class input_info_reader : public service_base {
public:
    static constexpr GUID class_guid = {0x83C55FB4, 0xA657, 0x49A1, {0x92, 0xE1, 0xE4, 0x51, 0x16, 0x78, 0x63, 0x24}};
    using parent_t = service_base;

    // How many subsongs the file holds; at least 1. Raises nothing.
    virtual uint32_t count_subsongs() = 0;
    // The subsong number of the index-th subsong (index below count_subsongs). Raises nothing.
    virtual uint32_t subsong_at(uint32_t index) = 0;
    // Adds the subsong's length, meta and technical fields to `info`. Raises
    // velmora_io::exception_io_bad_subsong_index for a subsong the file does not hold.
    virtual void read_info(uint32_t subsong, file_info& info, abort_callback& abort) = 0;
    // The file's size and time as they were when the instance was opened. Raises the host's I/O
    // failures when an input asks the file again.
    virtual file_stats query_file_stats(abort_callback& abort) = 0;
};

// Decode flags of input_decoder::initialize, bits an input may honour or pass over.
constexpr unsigned input_flag_no_seeking = 1;  // the caller will not seek
constexpr unsigned input_flag_analysis = 2;    // the audio is examined, not played

// An instance opened for decoding. On the thread driving the instance.
class input_decoder : public input_info_reader {
public:
    static constexpr GUID class_guid = {0xDAF98CD1, 0xA390, 0x4222, {0x81, 0x9E, 0x8F, 0x0F, 0x5C, 0x39, 0xB7, 0x01}};
    using parent_t = input_info_reader;

    // Prepares decoding of `subsong` from its start, before the first run; `flags` are the host's
    // decode flags. Raises velmora_io::exception_io_bad_subsong_index for a subsong the file does
    // not hold, and what the input meets in the file.
    virtual void initialize(uint32_t subsong, unsigned flags, abort_callback& abort) = 0;
    // Fills `chunk` with the next block: the input sets its data, frame count, rate and channels.
    // False at the end of the stream, with `chunk` left as it was. Raises velmora_io::exception_io_data
    // for data it cannot decode, and the host's I/O failures.
    virtual bool run(audio_chunk& chunk, abort_callback& abort) = 0;
    // Moves to `seconds` from the subsong's start; an input that cannot seek may ignore it
    // (can_seek tells). Raises as run.
    virtual void seek(double seconds, abort_callback& abort) = 0;
    // True when seek moves. Raises nothing.
    virtual bool can_seek() = 0;
    // Information that changes while playing: true when `info` was updated, `time_offset` then
    // saying in seconds how far ahead of what the host plays it applies. Raises nothing.
    virtual bool poll_stream_info(file_info& info, double& time_offset) = 0;
    virtual bool poll_track_info(file_info& info, double& time_offset) = 0;
    // Called while the host waits, with nothing to decode. Raises as run.
    virtual void idle(abort_callback& abort) = 0;
};

class input_decoder_v2 : public input_decoder {
public:
    static constexpr GUID class_guid = {0x93E97EB7, 0xF1C6, 0x4CFB, {0xB4, 0x43, 0x46, 0xE0, 0xAC, 0xDE, 0xD3, 0x4D}};
    using parent_t = input_decoder;

    // Like run, and also puts the undecoded bytes of the block into the host's `raw` block. Raises
    // as run, or zorb::exception_not_implemented for an input that keeps no raw bytes.
    virtual bool run_with_raw(audio_chunk& chunk, mem_block_container& raw, abort_callback& abort) = 0;
    // Hands over a logger for the instance's lines; the instance may keep the reference as long as
    // it lives. Raises nothing.
    virtual void attach_logger(service_ptr_t<event_logger> logger) = 0;
};

class input_decoder_v3 : public input_decoder_v2 {
public:
    static constexpr GUID class_guid = {0xBBE62713, 0x009E, 0x493E, {0xA0, 0x05, 0x53, 0xFB, 0x9F, 0x74, 0x9D, 0xFA}};
    using parent_t = input_decoder_v2;

    // Playback was paused (true) or resumed (false). Raises nothing.
    virtual void notify_pause(bool paused) = 0;
    // True when the host should drop what it buffered when playback pauses. Raises nothing.
    virtual bool wants_flush_on_pause() = 0;
};

class input_decoder_v4 : public input_decoder_v3 {
public:
    static constexpr GUID class_guid = {0xB297C0BD, 0x394C, 0x40E5, {0xAA, 0xA3, 0x9C, 0x62, 0x16, 0x47, 0xB2, 0x47}};
    using parent_t = input_decoder_v3;

    // A question the interface has no operation for, named by `what`; the arguments and the
    // answer's meaning belong to the question, and 0 answers a question the input does not know.
    // `pointer` is the caller's, valid for the call. Raises nothing.
    virtual intptr_t extended_query(const GUID& what, size_t size_argument, void* pointer, size_t size) = 0;
};

// An instance opened for writing the file's information. On the thread driving the instance.
class input_info_writer : public input_info_reader {
public:
    static constexpr GUID class_guid = {0xA19887EE, 0x0D06, 0x45E2, {0xA6, 0x3F, 0xD9, 0x4F, 0xA4, 0xE4, 0x94, 0xDA}};
    using parent_t = input_info_reader;

    // Stores the meta fields of `info` for `subsong`; finish_write makes them last. Raises
    // velmora_io::exception_io_bad_subsong_index for a subsong the file does not hold,
    // velmora_io::exception_io_unsupported_format when the input cannot write tags, and the host's
    // I/O failures.
    virtual void write_info(uint32_t subsong, const file_info& info, abort_callback& abort) = 0;
    // Commits what write_info stored to the file. Raises the host's I/O failures.
    virtual void finish_write(abort_callback& abort) = 0;
};

// The service class of inputs: one singleton per input; any thread, several at once. `hint` is a
// file the host may already have open on the path (or empty), lent for the call. `extension` is the
// path's extension without its dot, as the host cuts it.
class input_entry : public service_base {
public:
    static constexpr GUID class_guid = {0x22AA01A4, 0x8032, 0x4E48, {0xB0, 0x6A, 0x78, 0xBA, 0xF3, 0x12, 0x21, 0x36}};
    using parent_t = service_base;

    // True when the input decodes streams of this MIME type. Raises nothing.
    virtual bool accepts_content_type(const char* content_type) = 0;
    // True when the input takes the file at `path`; decided without opening it. Raises nothing.
    virtual bool accepts_path(const char* path, const char* extension) = 0;
    // Open an instance on `path` and store it in `out` with one reference owned by the caller; `out`
    // is untouched when the open fails. Raise velmora_io::exception_io_unsupported_format for a
    // file the input cannot read, and the host's I/O failures from opening and reading the file.
    virtual void open_for_decoding(service_ptr_t<input_decoder>& out, service_ptr_t<file> hint, const char* path,
                                   abort_callback& abort) = 0;
    virtual void open_for_info_read(service_ptr_t<input_info_reader>& out, service_ptr_t<file> hint, const char* path,
                                    abort_callback& abort) = 0;
    virtual void open_for_info_write(service_ptr_t<input_info_writer>& out, service_ptr_t<file> hint, const char* path,
                                     abort_callback& abort) = 0;
    // Puts the data of kind `what` that the track at `location` holds besides its audio (cover
    // art, for one) into the host's block `out`; an input with none leaves `out` untouched. Raises
    // the host's I/O failures.
    virtual void read_extra_data(service_ptr_t<file> hint, const playable_location& location, const GUID& what,
                                 mem_block_container& out, abort_callback& abort) = 0;
    // The input's flag bits; 0 for none. Raises nothing.
    virtual unsigned get_flags() = 0;
};

class input_entry_v2 : public input_entry {
public:
    static constexpr GUID class_guid = {0x933F1D57, 0x137A, 0x47C1, {0x86, 0x7D, 0xC9, 0x68, 0x25, 0xA9, 0x4A, 0x17}};
    using parent_t = input_entry;
    using service_class_t = input_entry;

    // The input's own GUID. Raises nothing.
    virtual GUID get_guid() = 0;
    // The input's name; the text belongs to the input and lives as long as it. Raises nothing.
    virtual const char* get_name() = 0;
    // The GUID of the input's preferences page; all zero for none. Raises nothing.
    virtual GUID get_settings_page_guid() = 0;
    // True for inputs that the host tries only after every other input declined a path. Raises nothing.
    virtual bool is_last_resort() = 0;
};

class input_entry_v3 : public input_entry_v2 {
public:
    static constexpr GUID class_guid = {0x8400C2CE, 0x8670, 0x4F1A, {0x85, 0xCF, 0xCB, 0x97, 0x41, 0x6A, 0x10, 0x50}};
    using parent_t = input_entry_v2;
    using service_class_t = input_entry;

    // Opens an instance of the interface `interface_guid` (input_decoder, input_info_reader or
    // input_info_writer) and stores it in `out` with one reference owned by the caller. `logger`
    // may be empty. Raises zorb::exception_not_implemented for any other interface, and otherwise
    // as the open_for_ operations.
    virtual void open_instance(service_ptr& out, const GUID& interface_guid, service_ptr_t<file> hint, const char* path,
                               service_ptr_t<event_logger> logger, abort_callback& abort) = 0;
};

// Finding the input for a path among the host's inputs and opening its instances there. Any thread.
namespace input_lookup {

// The extension as the host hands it to accepts_path: what follows the last dot of the path's
// file name (after its last \, / or |), without the dot; empty when the name has no dot.
inline std::string extension_of(const std::string& path) {
    const size_t name_start = path.find_last_of("\\/|");
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (name_start != std::string::npos && dot < name_start)) return {};
    return path.substr(dot + 1);
}

// The first input that accepts `path`, in the host's order, those that call themselves a last
// resort (input_entry_v2) after all others. Raises velmora_io::exception_io_unsupported_format
// when none does.
inline service_ptr_t<input_entry> find(host_api& api, const std::string& path) {
    const std::string extension = extension_of(path);
    std::vector<service_ptr_t<input_entry>> last_resorts;
    const size_t count = service_count_t<input_entry>(api);
    for (size_t index = 0; index < count; ++index) {
        service_ptr_t<input_entry> input = service_create_at_t<input_entry>(api, index);
        if (!input) continue;
        if (auto versioned = input.query_as<input_entry_v2>(); versioned && versioned->is_last_resort()) {
            last_resorts.push_back(input);
            continue;
        }
        if (input->accepts_path(path.c_str(), extension.c_str())) return input;
    }
    for (auto& input : last_resorts)
        if (input->accepts_path(path.c_str(), extension.c_str())) return input;
    throw velmora_io::exception_io_unsupported_format();
}

// An instance on `path` through the input that accepts it; the input's own failures pass on.
inline service_ptr_t<input_decoder> open_for_decoding(host_api& api, const std::string& path, abort_callback& abort) {
    service_ptr_t<input_decoder> decoder;
    find(api, path)->open_for_decoding(decoder, {}, path.c_str(), abort);
    return decoder;
}
inline service_ptr_t<input_info_reader> open_for_info_read(host_api& api, const std::string& path,
                                                           abort_callback& abort) {
    service_ptr_t<input_info_reader> reader;
    find(api, path)->open_for_info_read(reader, {}, path.c_str(), abort);
    return reader;
}
inline service_ptr_t<input_info_writer> open_for_info_write(host_api& api, const std::string& path,
                                                            abort_callback& abort) {
    service_ptr_t<input_info_writer> writer;
    find(api, path)->open_for_info_write(writer, {}, path.c_str(), abort);
    return writer;
}

}  // namespace input_lookup

// File types an input offers in the host's open dialogs and file associations. A singleton; any
// thread. Raises nothing.
class input_file_type : public service_base {
public:
    static constexpr GUID class_guid = {0x6AE86713, 0xFB63, 0x4352, {0x8D, 0x32, 0xE9, 0x6A, 0xBC, 0x79, 0xE6, 0x62}};
    using parent_t = service_base;

    virtual unsigned count_types() = 0;
    // The index-th type's display name and mask ("*.a;*.b") into the host's string: true and the
    // whole text stored, or false with `out` untouched for an index past the count.
    virtual bool type_name(unsigned index, zorb::string_base& out) = 0;
    virtual bool type_mask(unsigned index, zorb::string_base& out) = 0;
    // True when the host may associate files of the type with itself.
    virtual bool may_associate(unsigned index) = 0;
};
