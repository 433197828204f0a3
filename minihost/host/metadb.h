// The host's tracks: one handle per location, with the information record and file statistics
// read through the inputs and kept until something tells the host otherwise.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "host/host_api.h"
#include "host/metadb.h"

namespace minihost {

class track_handle;

// Any thread; every operation takes the cache's lock only while it touches the cache, never while
// it reads a file or calls an observer.
class track_cache {
public:
    explicit track_cache(host_api& api);
    ~track_cache();
    track_cache(const track_cache&) = delete;
    track_cache& operator=(const track_cache&) = delete;

    // The handle of `path` (taken as given) and `subsong`: the same handle for equal locations.
    metadb_handle_ptr handle(const std::string& path, uint32_t subsong);

    // The tracks of the file at `path`: one handle per subsong that its input reports, each with
    // its information and the file's statistics read and kept. When the file cannot be read: one
    // handle for subsong 0 without information, and the failure's text in `failure` (emptied
    // otherwise). Raises velmora_io::exception_aborted when `abort` asks.
    metadb_handle_list add_file(const std::string& path, abort_callback& abort, std::string& failure);

    // Reads the information of `track` anew through its input and keeps it; observers hear of it.
    // Raises what the input raises; the track keeps what it had.
    void reload(const metadb_handle_ptr& track, abort_callback& abort);

    // Replaces the information (and, when given, the file statistics) kept for `track` with
    // `info`, and tells every observer. A handle this cache did not make is ignored.
    void update(const metadb_handle_ptr& track, const file_info& info, const file_stats* stats = nullptr);

    // Hears of tracks whose information changed, on the thread that changed it, after the change.
    using observer = std::function<void(const metadb_handle_list& changed)>;
    size_t add_observer(observer heard);
    void remove_observer(size_t id);

    // The host's metadb service over this cache.
    service_ptr service();

private:
    service_ptr_t<track_handle> find_or_make(const std::string& path, uint32_t subsong);
    void notify(const metadb_handle_list& changed);

    host_api& api_;
    std::mutex mutex_;
    std::map<std::pair<std::string, uint32_t>, service_ptr_t<track_handle>> handles_;
    std::vector<std::pair<size_t, observer>> observers_;
    size_t next_observer_ = 1;
    service_ptr service_;
};

}  // namespace minihost
