#include "minihost/host/metadb.h"

#include "host/file_info_impl.h"
#include "minihost/host/input_registry.h"

namespace minihost {

class track_handle : public metadb_handle {
public:
    track_handle(std::string path, uint32_t subsong) : path_(std::move(path)), location_{path_.c_str(), subsong} {}

    const playable_location& get_location() const override { return location_; }
    bool get_info(file_info& out) const override {
        std::lock_guard lock(mutex_);
        if (!has_info_) return false;
        out.copy_from(info_);
        return true;
    }
    bool get_file_stats(file_stats& out) const override {
        std::lock_guard lock(mutex_);
        if (!has_stats_) return false;
        out = stats_;
        return true;
    }

    void keep(const file_info& info, const file_stats* stats) {
        std::lock_guard lock(mutex_);
        info_.copy_from(info);
        has_info_ = true;
        if (stats) {
            stats_ = *stats;
            has_stats_ = true;
        }
    }

private:
    const std::string path_;
    const playable_location location_;
    mutable std::mutex mutex_;
    file_info_impl info_;
    file_stats stats_{};
    bool has_info_ = false;
    bool has_stats_ = false;
};

namespace {

class metadb_impl : public metadb {
public:
    explicit metadb_impl(track_cache& cache) : cache_(cache) {}
    void handle_create(metadb_handle_ptr& out, const playable_location& location) override {
        out = cache_.handle(location.path, location.subsong);
    }

private:
    track_cache& cache_;
};

}  // namespace

track_cache::track_cache(host_api& api) : api_(api), service_(new service_impl_t<metadb_impl>(*this)) {}

track_cache::~track_cache() = default;

service_ptr_t<track_handle> track_cache::find_or_make(const std::string& path, uint32_t subsong) {
    std::lock_guard lock(mutex_);
    service_ptr_t<track_handle>& kept = handles_[{path, subsong}];
    if (!kept) kept = service_ptr_t<track_handle>(new service_impl_t<track_handle>(path, subsong));
    return kept;
}

metadb_handle_ptr track_cache::handle(const std::string& path, uint32_t subsong) { return find_or_make(path, subsong); }

metadb_handle_list track_cache::add_file(const std::string& path, abort_callback& abort, std::string& failure) {
    failure.clear();
    metadb_handle_list tracks;
    try {
        service_ptr_t<input_info_reader> reader = input_registry(api_).open_for_info_read(path, abort);
        const file_stats stats = reader->query_file_stats(abort);
        const uint32_t count = reader->count_subsongs();
        for (uint32_t index = 0; index < count; ++index) {
            const uint32_t subsong = reader->subsong_at(index);
            file_info_impl info;
            reader->read_info(subsong, info, abort);
            service_ptr_t<track_handle> track = find_or_make(path, subsong);
            track->keep(info, &stats);
            tracks.add_item(track);
        }
    } catch (const velmora_io::exception_aborted&) {
        throw;
    } catch (const std::exception& error) {
        failure = error.what();
        tracks.remove_all();
        tracks.add_item(find_or_make(path, 0));
        return tracks;
    }
    notify(tracks);
    return tracks;
}

void track_cache::reload(const metadb_handle_ptr& track, abort_callback& abort) {
    const playable_location& location = track->get_location();
    service_ptr_t<input_info_reader> reader = input_registry(api_).open_for_info_read(location.path, abort);
    const file_stats stats = reader->query_file_stats(abort);
    file_info_impl info;
    reader->read_info(location.subsong, info, abort);
    update(track, info, &stats);
}

void track_cache::update(const metadb_handle_ptr& track, const file_info& info, const file_stats* stats) {
    if (!track) return;
    const playable_location& location = track->get_location();
    service_ptr_t<track_handle> kept;
    {
        std::lock_guard lock(mutex_);
        const auto found = handles_.find({location.path, location.subsong});
        if (found == handles_.end() || found->second.get() != track.get()) return;
        kept = found->second;
    }
    kept->keep(info, stats);
    notify({track});
}

size_t track_cache::add_observer(observer heard) {
    std::lock_guard lock(mutex_);
    observers_.emplace_back(next_observer_, std::move(heard));
    return next_observer_++;
}

void track_cache::remove_observer(size_t id) {
    std::lock_guard lock(mutex_);
    std::erase_if(observers_, [&](const auto& entry) { return entry.first == id; });
}

void track_cache::notify(const metadb_handle_list& changed) {
    std::vector<observer> heard;
    {
        std::lock_guard lock(mutex_);
        for (const auto& entry : observers_) heard.push_back(entry.second);
    }
    for (const observer& each : heard) each(changed);
}

service_ptr track_cache::service() { return service_; }

}  // namespace minihost
