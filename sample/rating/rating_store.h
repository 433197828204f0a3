// The rating store: a rating_record per track and per album, kept as user data in the host's
// metadata index under two indexes whose keys the component computes from a track's tags.
#pragma once

#include <optional>

#include "host/identity.h"
#include "host/metadb_index.h"
#include "host/titleformat.h"
#include "sample/rating/rating_record.h"

namespace ambrel {

constexpr GUID guid_track_index = {0x88CF3F09, 0x26A8, 0x42EF, {0xB7, 0xB8, 0x42, 0x21, 0xB9, 0x62, 0x26, 0x78}};
constexpr GUID guid_album_index = {0xD94BA576, 0x7FAB, 0x4F1B, {0xBE, 0x5E, 0x4F, 0x8E, 0x9D, 0x5F, 0x30, 0xF1}};
constexpr char track_key_pattern[] = "%artist% - %title%";
constexpr char album_key_pattern[] = "%album artist% - %album%";
// 28 days in 100-nanosecond units.
constexpr uint64_t rating_retention = 28ull * 24 * 60 * 60 * 10'000'000;

// Computes a track's key in one index from its pattern, compiled once when the client is made.
class metadb_index_client_impl : public metadb_index_client {
public:
    // Compiles `pattern` with the host's compiler; a failure ends in uBugCheck (the patterns are fixed).
    explicit metadb_index_client_impl(const char* pattern);
    metadb_index_hash hash_track(const file_info& info, const playable_location& location) override;

private:
    service_ptr_t<titleformat_object> pattern_;
};

// The album client for the album index's GUID, the track client for any other; each made on first
// use, once, whatever the threads.
metadb_index_client& client_for_index(const GUID& index);
// The key of `track` in the index of `client`; none when the host holds no information for it.
std::optional<metadb_index_hash> hash_of(metadb_index_client& client, const metadb_handle_ptr& track);

// The cached index manager, or the host's looked up anew (the cache stays as it is). A missing or
// duplicated manager ends in uBugCheck.
service_ptr_t<metadb_index_manager> index_manager();

rating_record read_record(const GUID& index, metadb_index_hash key);
void write_record(const GUID& index, metadb_index_hash key, const rating_record& record);

// Registers both indexes at start-up stage 10.
class init_stage_callback_impl : public init_stage_callback {
public:
    void on_init_stage(uint32_t stage) override;
};

// Releases the cached index manager at quit.
class initquit_impl : public initquit {
public:
    void on_init() override {}
    void on_quit() override;
};

}  // namespace ambrel
