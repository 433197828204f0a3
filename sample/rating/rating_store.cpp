#include "sample/rating/rating_store.h"

#include <mutex>
#include <vector>

#include "helpers/client.h"
#include "helpers/console.h"
#include "host/file_info_impl.h"
#include "host/service_lookup.h"
#include "host/shared.h"

namespace ambrel {
namespace {

// Written only on the host's start-up and shutdown paths.
service_ptr_t<metadb_index_manager> cached_manager;

class byte_block final : public mem_block_container {
public:
    void set_size(size_t bytes) override { bytes_.resize(bytes); }
    size_t get_size() const override { return bytes_.size(); }
    void* get_ptr() override { return bytes_.data(); }
    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

template <typename T>
service_ptr_t<T> lookup_or_bug_check(const char* what) {
    try {
        return service_lookup_one_t<T>(host());
    } catch (const std::exception&) {
        uBugCheck(what);
    }
}

}  // namespace

metadb_index_client_impl::metadb_index_client_impl(const char* pattern) {
    try {
        lookup_or_bug_check<titleformat_compiler>("kiv_ambrel: no single title-formatting compiler")
            ->compile(pattern_, pattern);
    } catch (const std::exception&) {
        uBugCheck("kiv_ambrel: a rating key pattern does not compile");
    }
}

metadb_index_hash metadb_index_client_impl::hash_track(const file_info& info, const playable_location& location) {
    zorb::string8 text;
    pattern_->run_info(location, &info, text);
    const auto hasher = service_lookup_one_t<hasher_md5>(host());
    return key_of_digest(hasher->process_single(text.get_ptr(), text.length()));
}

metadb_index_client& client_for_index(const GUID& index) {
    // Function-local statics: their initialisation is guarded, so concurrent first calls make one.
    if (index == guid_album_index) {
        static service_impl_single_t<metadb_index_client_impl> album_client(album_key_pattern);
        return album_client;
    }
    static service_impl_single_t<metadb_index_client_impl> track_client(track_key_pattern);
    return track_client;
}

std::optional<metadb_index_hash> hash_of(metadb_index_client& client, const metadb_handle_ptr& track) {
    if (!track) return std::nullopt;
    file_info_impl info;
    if (!track->get_info(info)) return std::nullopt;
    return client.hash_track(info, track->get_location());
}

service_ptr_t<metadb_index_manager> index_manager() {
    if (cached_manager) return cached_manager;
    return lookup_or_bug_check<metadb_index_manager>("kiv_ambrel: no single metadata index manager");
}

rating_record read_record(const GUID& index, metadb_index_hash key) {
    byte_block block;
    index_manager()->get_user_data(index, key, block);
    return decode_record(block.bytes().data(), block.bytes().size());
}

void write_record(const GUID& index, metadb_index_hash key, const rating_record& record) {
    const std::vector<uint8_t> bytes = encode_record(record);
    index_manager()->set_user_data(index, key, bytes.data(), bytes.size());
}

void init_stage_callback_impl::on_init_stage(uint32_t stage) {
    if (stage != init_stages::before_library_init) return;
    cached_manager = lookup_or_bug_check<metadb_index_manager>("kiv_ambrel: no single metadata index manager");
    try {
        cached_manager->add(&client_for_index(guid_track_index), guid_track_index, rating_retention);
        cached_manager->add(&client_for_index(guid_album_index), guid_album_index, rating_retention);
        cached_manager->dispatch_global_refresh();
    } catch (const std::exception& failure) {
        cached_manager->remove(guid_track_index);
        cached_manager->remove(guid_album_index);
        console_print(std::string("[kiv_sample rating] Critical initialization failure: ") + failure.what());
    }
}

void initquit_impl::on_quit() { cached_manager.reset(); }

}  // namespace ambrel
