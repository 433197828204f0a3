// The host's database I/O: tags of tracks written through the host, and new tags that a component
// wrote itself handed to the host's track database.
#pragma once

#include <utility>

#include "host/host_api.h"
#include "host/metadb.h"
#include "host/service.h"

// Changes a track's information record before the host writes it. Called on the host's worker
// thread, one track at a time.
class file_info_filter : public service_base {
public:
    static constexpr GUID class_guid = {0x5E4C3A02, 0x8B1F, 0x4D6A, {0xA7, 0x90, 0x3F, 0x21, 0xC6, 0x5B, 0x0E, 0x84}};
    using parent_t = service_base;

    // `info` holds what the file holds now; true when the filter changed it (only then is it
    // written). `track` and `stats` (the file's size and time) are lent for the call. A failure
    // leaves the file alone and counts as the track's failure.
    virtual bool apply_filter(const metadb_handle_ptr& track, const file_stats& stats, file_info& info) = 0;
};

// Hears the end of an operation of the host, on the user-interface thread; raises nothing.
class completion_notify : public service_base {
public:
    static constexpr GUID class_guid = {0x0B7D8E6F, 0x41C2, 0x4E93, {0x8A, 0x55, 0x6D, 0x19, 0xF2, 0x30, 0xB4, 0x7C}};
    using parent_t = service_base;

    virtual void on_completion(unsigned code) = 0;
};

// A completion_notify that calls `function(code)`.
template <typename Function>
service_ptr_t<completion_notify> completion_notify_create(Function function) {
    class notify : public completion_notify {
    public:
        explicit notify(Function f) : function_(std::move(f)) {}
        void on_completion(unsigned code) override { function_(code); }

    private:
        Function function_;
    };
    return service_ptr_t<completion_notify>(new service_impl_t<notify>(std::move(function)));
}

// New information of tracks, gathered by whoever wrote their files and handed over at once. One
// thread at a time; raises nothing.
class metadb_hint_list : public service_base {
public:
    static constexpr GUID class_guid = {0x2F6E91C4, 0x7A3D, 0x4B08, {0x95, 0xE2, 0x1C, 0x7F, 0x40, 0x8D, 0x63, 0xA9}};
    using parent_t = service_base;

    // `info` and `stats` are now what `track` holds; `fresh` says they were just read from (or
    // written to) the file. Copied.
    virtual void add_hint(const metadb_handle_ptr& track, const file_info& info, const file_stats& stats,
                          bool fresh) = 0;
    // Hands every hint added to the host's track database; on the user-interface thread. Hints
    // added afterwards wait for the next call.
    virtual void on_done() = 0;
};

// The host's database I/O service, a singleton; called on the user-interface thread.
class metadb_io : public service_base {
public:
    static constexpr GUID class_guid = {0x64D18B80, 0x5E97, 0x40E4, {0xA3, 0x0C, 0xA4, 0x64, 0x0C, 0x60, 0xBC, 0xE5}};
    using parent_t = service_base;

    // An empty hint list, with one reference owned by the caller.
    virtual service_ptr_t<metadb_hint_list> create_hint_list() = 0;
};

// The later version, asked for through the metadb_io class.
class metadb_io_v2 : public metadb_io {
public:
    static constexpr GUID class_guid = {0x265C4ECE, 0xFFB2, 0x4299, {0x91, 0xB5, 0x6C, 0xA6, 0x60, 0x3D, 0xA1, 0x53}};
    using parent_t = metadb_io;
    using service_class_t = metadb_io;

    // Flags of update_info_async; other bits are ignored.
    static constexpr unsigned op_flag_no_errors = 0x01;   // failures go into the result code only, not into a popup
    static constexpr unsigned op_flag_background = 0x02;  // no progress window
    static constexpr unsigned op_flag_delay_ui = 0x08;    // the progress window only once the work lasts 0.5 s

    // Result codes given to the completion notify.
    static constexpr unsigned update_result_success = 0;  // every file written (or left alone by the filter)
    static constexpr unsigned update_result_aborted = 1;  // the person stopped it; files written so far stay
    static constexpr unsigned update_result_failure = 2;  // at least one file could not be read or written

    // Reads the information of every track in `tracks` from its file, lets `filter` change it, and
    // writes what it changed back, each file once, on a worker thread with a progress window owned
    // by `parent`; returns at once. The host's track database takes the new information, and
    // `notify` (may be empty) hears the result code on this thread at the end.
    virtual void update_info_async(const metadb_handle_list& tracks, service_ptr_t<file_info_filter> filter,
                                   host_window parent, unsigned flags, service_ptr_t<completion_notify> notify) = 0;
};
