// The media library: the files a user added, kept in the profile as one canonical track path a line
// (PROFILE/library.txt), and their tracks with the information the inputs read from them.
//
// Several minihost processes may share a profile: every change reads the file anew and applies
// only its own additions or removals to what it finds, then writes the file whole beside itself
// and moves it over the old one (a crash leaves the old list or the new one). A file that cannot be
// read when the library loads still belongs to the library; its track has no information until it
// can be read again.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "host/metadb.h"
#include "minihost/host/metadb.h"

namespace minihost {

class media_library {
public:
    media_library(track_cache& tracks, std::string list_file) : tracks_(tracks), list_file_(std::move(list_file)) {}

    // Reads the list and the information of every file on it. Failures to read a file are
    // reported through `failed` (path, reason). Raises zorb::exception when the list cannot be read.
    using failure_report = std::function<void(const std::string& path, const std::string& reason)>;
    void load(const failure_report& failed);

    // Adds files and, for folders, every file under them that an input of `accepts` takes,
    // recursively, in name order. Paths are made canonical. Returns the tracks added (those already
    // in the library are left as they are). Raises zorb::exception for a path that does not exist.
    metadb_handle_list add(const std::vector<std::string>& paths,
                           const std::function<bool(const std::string&)>& accepts, const failure_report& failed);
    // Removes files, and for folders every file under them; returns how many files went.
    size_t remove(const std::vector<std::string>& paths);

    // The library's tracks, in the order their files were added.
    metadb_handle_list tracks() const;
    // The files, canonical, in the order they were added.
    std::vector<std::string> files() const;

    // Hears of every change of the library (after it).
    void set_change_observer(std::function<void()> changed) { changed_ = std::move(changed); }

private:
    std::vector<std::string> read_list() const;
    void write_list(const std::vector<std::string>& files) const;
    void read_tracks(const std::vector<std::string>& files, const failure_report& failed);

    track_cache& tracks_;
    std::string list_file_;
    mutable std::mutex mutex_;
    std::vector<std::string> files_;
    std::vector<std::pair<std::string, metadb_handle_list>> file_tracks_;
    std::function<void()> changed_;
};

}  // namespace minihost
