// The host's metadata index: user data that the host keeps per index and per 64-bit key for a
// component, ties each key to the media library's tracks whose key it is, and keeps from one run
// to the next. A component registers an index with a client that computes a track's key.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "host/metadb.h"
#include "host/records.h"
#include "host/service.h"

using metadb_index_hash = uint64_t;

// Keys in order; a value, header-only like metadb_handle_list. One thread at a time.
using metadb_index_hash_list = std::vector<metadb_index_hash>;

// Computes the key of a track in one index: any thread, several at once; the client must allow
// that. Raises what formatting or digesting raises; the host then treats the track as keyless.
class metadb_index_client : public service_base {
public:
    static constexpr GUID class_guid = {0x4E6B2C71, 0x8E0D, 0x4B3A, {0x9F, 0x15, 0x63, 0xA2, 0xD0, 0x7C, 0x1B, 0x84}};
    using parent_t = service_base;

    // The key of the track at `location` whose information record is `info`.
    virtual metadb_index_hash hash_track(const file_info& info, const playable_location& location) = 0;
};

// The host's index manager, a singleton of the host. Any thread unless an operation says otherwise.
// Failures of the store (the profile cannot be written) raise zorb::exception with the reason.
class metadb_index_manager : public service_base {
public:
    static constexpr GUID class_guid = {0xB9633863, 0x2683, 0x4163, {0xA5, 0x8D, 0x26, 0x47, 0x5D, 0xB0, 0xE7, 0x9B}};
    using parent_t = service_base;

    // Keeps the index `index` and asks `client` for the keys of tracks from now on. User data of a
    // key that no library track has had for longer than `retention` (100-ns units) may be dropped
    // when the host starts. Raises zorb::exception_invalid_params when the index is registered
    // already or the client is empty.
    virtual void add(service_ptr_t<metadb_index_client> client, const GUID& index, uint64_t retention) = 0;
    // Forgets the index (its user data stays); nothing happens when it is not registered.
    virtual void remove(const GUID& index) = 0;
    // Makes `size` bytes the user data of `key`, replacing what was stored; durable on return.
    virtual void set_user_data(const GUID& index, metadb_index_hash key, const void* data, size_t size) = 0;
    // The user data of `key` into `out`; size 0 when nothing is stored.
    virtual void get_user_data(const GUID& index, metadb_index_hash key, mem_block_container& out) = 0;
    // Tells the host that the records of these keys changed; what shows them is brought up to date.
    virtual void dispatch_refresh(const GUID& index, const metadb_index_hash* keys, size_t count) = 0;
    // The same for every key of every index.
    virtual void dispatch_global_refresh() = 0;
    // Every media library track whose key in `index` is `key`, appended to `out`.
    virtual void get_ml_handles(const GUID& index, metadb_index_hash key, metadb_handle_list& out) = 0;
    // Every key of `index` that has user data, into `out` (replacing its content), ascending.
    virtual void get_all_hashes(const GUID& index, metadb_index_hash_list& out) = 0;
};

// Start-up stages: the host calls every init_stage_callback once per stage, in ascending order, on
// its main thread, after its services are up and before on_init.
namespace init_stages {
constexpr uint32_t before_library_init = 10;  // indexes registered now see the library's first scan
constexpr uint32_t after_library_init = 20;
}  // namespace init_stages

class init_stage_callback : public service_base {
public:
    static constexpr GUID class_guid = {0xAF51C159, 0x5A6E, 0x4C8B, {0x9D, 0x0E, 0x3B, 0x72, 0x61, 0xE4, 0x0F, 0x2A}};
    using parent_t = service_base;

    // Raises nothing: what a stage meets, it reports itself.
    virtual void on_init_stage(uint32_t stage) = 0;
};
