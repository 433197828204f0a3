#include "minihost/host/media_library.h"

#include <algorithm>
#include <filesystem>

#include "host/abort.h"
#include "minihost/host/filesystem.h"
#include "zorb/exception.h"
#include "zorb/files.h"

namespace minihost {
namespace {

constexpr char list_header[] = "# minihost media library: one track path a line";

// True when `file` (canonical) is `folder` (canonical) or lies under it.
bool is_within(const std::string& file, const std::string& folder) {
    if (file == folder) return true;
    if (file.size() <= folder.size() || file.compare(0, folder.size(), folder) != 0) return false;
    const char next = file[folder.size()];
    const char last = folder.back();
    return next == '\\' || next == '/' || last == '\\' || last == '/';
}

}  // namespace

std::vector<std::string> media_library::read_list() const {
    std::vector<uint8_t> bytes;
    if (!zorb::read_file(list_file_, bytes)) {
        std::error_code error;
        if (std::filesystem::exists(zorb::native_path(list_file_), error))
            throw zorb::exception("Cannot read the media library " + list_file_);
        return {};
    }
    std::vector<std::string> files;
    std::string line;
    for (size_t at = 0; at <= bytes.size(); ++at) {
        if (at < bytes.size() && bytes[at] != '\n') {
            line += char(bytes[at]);
            continue;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] != '#' && std::find(files.begin(), files.end(), line) == files.end())
            files.push_back(line);
        line.clear();
    }
    return files;
}

void media_library::write_list(const std::vector<std::string>& files) const {
    std::string text = std::string(list_header) + "\n";
    for (const std::string& file : files) text += file + "\n";
    zorb::replace_file(list_file_, text.data(), text.size(), "the media library");
}

void media_library::read_tracks(const std::vector<std::string>& files, const failure_report& failed) {
    abort_callback_dummy abort;
    for (const std::string& file : files) {
        std::string failure;
        metadb_handle_list tracks = tracks_.add_file(file, abort, failure);
        if (!failure.empty() && failed) failed(file, failure);
        std::lock_guard lock(mutex_);
        file_tracks_.emplace_back(file, std::move(tracks));
    }
}

void media_library::load(const failure_report& failed) {
    const std::vector<std::string> files = read_list();
    {
        std::lock_guard lock(mutex_);
        files_ = files;
        file_tracks_.clear();
    }
    read_tracks(files, failed);
}

metadb_handle_list media_library::add(const std::vector<std::string>& paths,
                                      const std::function<bool(const std::string&)>& accepts,
                                      const failure_report& failed) {
    std::vector<std::string> found;
    for (const std::string& path : paths) {
        const std::filesystem::path local = zorb::native_path(local_path_of(path));
        std::error_code error;
        if (std::filesystem::is_directory(local, error)) {
            std::vector<std::string> under;
            for (auto it = std::filesystem::recursive_directory_iterator(
                     local, std::filesystem::directory_options::skip_permission_denied, error);
                 !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error))
                if (it->is_regular_file(error)) {
                    const std::string track_path = canonical_track_path(zorb::utf8_path(it->path()));
                    if (!accepts || accepts(track_path)) under.push_back(track_path);
                }
            if (error) throw zorb::exception("Cannot list the folder " + path + ": " + error.message());
            std::sort(under.begin(), under.end());
            found.insert(found.end(), under.begin(), under.end());
        } else if (std::filesystem::is_regular_file(local, error)) {
            found.push_back(canonical_track_path(path));
        } else {
            throw zorb::exception("No such file or folder: " + path);
        }
    }
    std::vector<std::string> files = read_list();
    std::vector<std::string> added;
    for (const std::string& file : found)
        if (std::find(files.begin(), files.end(), file) == files.end()) {
            files.push_back(file);
            added.push_back(file);
        }
    if (!added.empty()) write_list(files);
    {
        std::lock_guard lock(mutex_);
        files_ = files;
    }
    // Files that another process added since this one loaded are read as well.
    std::vector<std::string> unread;
    {
        std::lock_guard lock(mutex_);
        for (const std::string& file : files)
            if (std::none_of(file_tracks_.begin(), file_tracks_.end(),
                             [&](const auto& kept) { return kept.first == file; }))
                unread.push_back(file);
    }
    read_tracks(unread, failed);
    metadb_handle_list result;
    {
        std::lock_guard lock(mutex_);
        for (const auto& [file, tracks] : file_tracks_)
            if (std::find(added.begin(), added.end(), file) != added.end())
                for (const metadb_handle_ptr& track : tracks) result.add_item(track);
    }
    if (changed_) changed_();
    return result;
}

size_t media_library::remove(const std::vector<std::string>& paths) {
    std::vector<std::string> targets;
    for (const std::string& path : paths) targets.push_back(canonical_track_path(path));
    std::vector<std::string> files = read_list();
    const size_t before = files.size();
    std::erase_if(files, [&](const std::string& file) {
        return std::any_of(targets.begin(), targets.end(),
                           [&](const std::string& target) { return is_within(file, target); });
    });
    const size_t removed = before - files.size();
    if (removed > 0) write_list(files);
    {
        std::lock_guard lock(mutex_);
        files_ = files;
        std::erase_if(file_tracks_, [&](const auto& kept) {
            return std::find(files.begin(), files.end(), kept.first) == files.end();
        });
    }
    if (changed_) changed_();
    return removed;
}

metadb_handle_list media_library::tracks() const {
    std::lock_guard lock(mutex_);
    metadb_handle_list all;
    for (const auto& [file, tracks] : file_tracks_)
        for (const metadb_handle_ptr& track : tracks) all.add_item(track);
    return all;
}

std::vector<std::string> media_library::files() const {
    std::lock_guard lock(mutex_);
    return files_;
}

}  // namespace minihost
