// Tracks as the host knows them: one handle per location (a file's path and a subsong index), with
// the information the host holds for it, and lists of handles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "host/host_api.h"
#include "host/input.h"
#include "host/records.h"
#include "host/service.h"

// A track: the host's object, alive as long as somebody holds a reference. Two requests for the
// same location (equal path bytes, equal subsong) give the same handle. Any thread; raises nothing.
class metadb_handle : public service_base {
public:
    static constexpr GUID class_guid = {0x98F5290E, 0xBF84, 0x4FB6, {0xB7, 0x79, 0xE2, 0x18, 0xF2, 0x9A, 0x50, 0x30}};
    using parent_t = service_base;

    // The track's location; the path text lives as long as the handle.
    virtual const playable_location& get_location() const = 0;
    // Makes `out` a copy of the information record that the host holds for the track: true, or
    // false with `out` untouched when it holds none (the file was not read, or could not be).
    virtual bool get_info(file_info& out) const = 0;
    // The file's size and time as the host last saw them: true, or false with `out` untouched when
    // the host has none.
    virtual bool get_file_stats(file_stats& out) const = 0;

    const char* get_path() const { return get_location().path; }
    uint32_t get_subsong_index() const { return get_location().subsong; }
};

using metadb_handle_ptr = service_ptr_t<metadb_handle>;

// Tracks in order, a null entry standing for a track that is gone. A value: copying a list copies
// the references. Header-only, so both sides of the boundary build the same class (they share the
// C++ runtime); one thread at a time.
class metadb_handle_list {
public:
    metadb_handle_list() = default;
    metadb_handle_list(std::initializer_list<metadb_handle_ptr> items) : items_(items) {}

    size_t get_count() const { return items_.size(); }
    bool empty() const { return items_.empty(); }
    // The track at `index` (below the count); may be empty.
    const metadb_handle_ptr& get_item(size_t index) const { return items_[index]; }
    const metadb_handle_ptr& operator[](size_t index) const { return items_[index]; }
    void add_item(metadb_handle_ptr item) { items_.push_back(std::move(item)); }
    void remove_all() { items_.clear(); }

    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

private:
    std::vector<metadb_handle_ptr> items_;
};

// The host's track database: a singleton of the host, any thread.
class metadb : public service_base {
public:
    static constexpr GUID class_guid = {0x16ADC00C, 0x2AA2, 0x4390, {0x99, 0x90, 0x0E, 0x9B, 0xBF, 0x91, 0xF9, 0x51}};
    using parent_t = service_base;

    // The handle of `location` (path UTF-8, taken as given), with one reference owned by the caller.
    // Reads nothing: the handle carries information once the host has read the file. Raises nothing.
    virtual void handle_create(metadb_handle_ptr& out, const playable_location& location) = 0;
};
