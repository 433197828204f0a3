// The host's index manager: the indexes that components register, their user data in the index
// store (PROFILE/metadb_index.log, index_store.h), and the keys of the media library's tracks.
//
// Keys of library tracks are asked from the index's client whenever they are needed, from the
// information the host holds for the track at that moment, so they follow every change of a
// track's tags without being kept anywhere.
//
// Retention: the store keeps for every key with user data the time it was last written or last
// seen on a library track (the system's clock in 100-ns units since 1601, written in the key's
// records, so it survives restarts). At start-up, after the indexes are registered and the library
// is loaded, start_up_scan marks the keys of the library's tracks as seen now and drops the user
// data of every key that nobody wrote and no library track had for longer than its index's period.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/metadb_index.h"
#include "minihost/host/index_store.h"
#include "minihost/host/media_library.h"

namespace minihost {

class index_manager_impl : public metadb_index_manager {
public:
    // The store is opened at `store_path` on first use, with `options`.
    index_manager_impl(media_library& library, std::string store_path, index_store_options options = {});

    void add(service_ptr_t<metadb_index_client> client, const GUID& index, uint64_t retention) override;
    void remove(const GUID& index) override;
    void set_user_data(const GUID& index, metadb_index_hash key, const void* data, size_t size) override;
    void get_user_data(const GUID& index, metadb_index_hash key, mem_block_container& out) override;
    void dispatch_refresh(const GUID& index, const metadb_index_hash* keys, size_t count) override;
    void dispatch_global_refresh() override;
    void get_ml_handles(const GUID& index, metadb_index_hash key, metadb_handle_list& out) override;
    void get_all_hashes(const GUID& index, metadb_index_hash_list& out) override;

    // The start-up scan described above. Returns the number of keys dropped.
    size_t start_up_scan();
    // Marks the keys of `tracks` seen now, in every index (after the library grew).
    void mark_seen(const metadb_handle_list& tracks);

    // Hears of refreshes: the index and its changed keys; for a refresh of all, every index
    // registered with all of its keys. On the thread that asked for the refresh.
    using refresh_observer = std::function<void(const GUID& index, const metadb_index_hash_list& keys)>;
    void set_refresh_observer(refresh_observer heard) { refreshed_ = std::move(heard); }

    bool is_registered(const GUID& index) const;
    // Forgets every index and its client: the host's stop, before the clients' component goes.
    void remove_all();

private:
    struct registration {
        GUID index;
        service_ptr_t<metadb_index_client> client;
        uint64_t retention;
    };
    index_store& store();
    std::vector<registration> registrations() const;
    // The key of `track` in the index of `client`; false when it has none.
    static bool key_of(metadb_index_client& client, const metadb_handle_ptr& track, metadb_index_hash& key);
    void mark_seen_locked_out(const registration& index, const metadb_handle_list& tracks);

    media_library& library_;
    std::string store_path_;
    index_store_options options_;
    mutable std::mutex mutex_;
    std::unique_ptr<index_store> store_;
    std::vector<registration> registrations_;
    refresh_observer refreshed_;
};

// The index manager as the host registers it.
service_ptr_t<index_manager_impl> make_index_manager(media_library& library, std::string store_path,
                                                     index_store_options options = {});

}  // namespace minihost
