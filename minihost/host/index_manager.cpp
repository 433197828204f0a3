#include "minihost/host/index_manager.h"

#include <algorithm>
#include <set>

#include "host/file_info_impl.h"
#include "zorb/exception.h"

namespace minihost {

index_manager_impl::index_manager_impl(media_library& library, std::string store_path, index_store_options options)
    : library_(library), store_path_(std::move(store_path)), options_(std::move(options)) {}

index_store& index_manager_impl::store() {
    std::lock_guard lock(mutex_);
    if (!store_) store_ = std::make_unique<index_store>(store_path_, options_);
    return *store_;
}

std::vector<index_manager_impl::registration> index_manager_impl::registrations() const {
    std::lock_guard lock(mutex_);
    return registrations_;
}

bool index_manager_impl::is_registered(const GUID& index) const {
    std::lock_guard lock(mutex_);
    return std::any_of(registrations_.begin(), registrations_.end(),
                       [&](const registration& kept) { return kept.index == index; });
}

void index_manager_impl::add(service_ptr_t<metadb_index_client> client, const GUID& index, uint64_t retention) {
    if (!client) throw zorb::exception_invalid_params();
    std::lock_guard lock(mutex_);
    for (const registration& kept : registrations_)
        if (kept.index == index) throw zorb::exception_invalid_params();
    registrations_.push_back({index, std::move(client), retention});
}

void index_manager_impl::remove(const GUID& index) {
    std::lock_guard lock(mutex_);
    std::erase_if(registrations_, [&](const registration& kept) { return kept.index == index; });
}

void index_manager_impl::remove_all() {
    std::lock_guard lock(mutex_);
    registrations_.clear();
}

void index_manager_impl::set_user_data(const GUID& index, metadb_index_hash key, const void* data, size_t size) {
    store().write(index, key, data, size);
}

void index_manager_impl::get_user_data(const GUID& index, metadb_index_hash key, mem_block_container& out) {
    const std::vector<uint8_t> data = store().read(index, key);
    out.set_size(data.size());
    if (!data.empty()) std::copy(data.begin(), data.end(), static_cast<uint8_t*>(out.get_ptr()));
}

void index_manager_impl::dispatch_refresh(const GUID& index, const metadb_index_hash* keys, size_t count) {
    if (refreshed_) refreshed_(index, metadb_index_hash_list(keys, keys + count));
}

void index_manager_impl::dispatch_global_refresh() {
    if (!refreshed_) return;
    for (const registration& kept : registrations()) refreshed_(kept.index, store().keys(kept.index));
}

bool index_manager_impl::key_of(metadb_index_client& client, const metadb_handle_ptr& track, metadb_index_hash& key) {
    if (!track) return false;
    file_info_impl info;
    if (!track->get_info(info)) return false;
    try {
        key = client.hash_track(info, track->get_location());
    } catch (const std::exception&) {
        return false;  // a client that cannot key a track leaves it without a key
    }
    return true;
}

void index_manager_impl::get_ml_handles(const GUID& index, metadb_index_hash key, metadb_handle_list& out) {
    service_ptr_t<metadb_index_client> client;
    for (const registration& kept : registrations())
        if (kept.index == index) client = kept.client;
    if (!client) return;
    for (const metadb_handle_ptr& track : library_.tracks()) {
        metadb_index_hash track_key = 0;
        if (key_of(*client, track, track_key) && track_key == key) out.add_item(track);
    }
}

void index_manager_impl::get_all_hashes(const GUID& index, metadb_index_hash_list& out) { out = store().keys(index); }

void index_manager_impl::mark_seen_locked_out(const registration& index, const metadb_handle_list& tracks) {
    std::set<metadb_index_hash> keys;
    for (const metadb_handle_ptr& track : tracks) {
        metadb_index_hash key = 0;
        if (key_of(*index.client, track, key)) keys.insert(key);
    }
    if (!keys.empty()) store().mark_seen(index.index, {keys.begin(), keys.end()});
}

void index_manager_impl::mark_seen(const metadb_handle_list& tracks) {
    for (const registration& index : registrations()) mark_seen_locked_out(index, tracks);
}

size_t index_manager_impl::start_up_scan() {
    const metadb_handle_list tracks = library_.tracks();
    size_t dropped = 0;
    for (const registration& index : registrations()) {
        mark_seen_locked_out(index, tracks);
        dropped += store().drop_unseen(index.index, index.retention).size();
    }
    return dropped;
}

service_ptr_t<index_manager_impl> make_index_manager(media_library& library, std::string store_path,
                                                     index_store_options options) {
    return service_ptr_t<index_manager_impl>(
        new service_impl_t<index_manager_impl>(library, std::move(store_path), std::move(options)));
}

}  // namespace minihost
