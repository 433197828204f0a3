// The host's playlist: tracks in order with a selection and a focused track, kept in the profile
// between runs. The main window shows it, components read it through playlist_manager, and
// playback will play it; none of them owns it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/metadb.h"
#include "minihost/host/metadb.h"

namespace minihost {

// One thread: the host's user-interface thread. Observers are told after every change, on that
// thread; one may change the playlist again from inside (it hears of that change too).
class playlist {
public:
    static constexpr size_t none = static_cast<size_t>(-1);

    // What a change touched: the tracks (added, removed, moved), or only the selection or focus.
    enum class change { items, selection };
    using observer = std::function<void(change)>;

    playlist();
    ~playlist();
    playlist(const playlist&) = delete;
    playlist& operator=(const playlist&) = delete;

    size_t size() const { return items_.size(); }
    // The track at `index`, below size().
    const metadb_handle_ptr& item(size_t index) const { return items_[index].track; }
    bool is_selected(size_t index) const { return index < items_.size() && items_[index].selected; }
    metadb_handle_list items() const;
    metadb_handle_list selected_items() const;
    std::vector<size_t> selected_indexes() const;
    // The focused track's index, or none.
    size_t focus() const { return focus_; }
    // Grows with every change; whoever keeps the playlist compares it to know whether to save.
    uint64_t revision() const { return revision_; }

    // Appends `tracks` (empty entries are skipped); the index of the first one added.
    size_t add(const metadb_handle_list& tracks);
    // Removes the tracks at `indexes` (any order, repeats and indexes past the end ignored); the
    // others keep their order, selection and focus.
    void remove(const std::vector<size_t>& indexes);
    void remove_selected() { remove(selected_indexes()); }
    void clear();
    // Selects or deselects the tracks from `first` to `last` inclusive (limited to the playlist).
    void set_selected(size_t first, size_t last, bool selected);
    // Exactly the tracks at `indexes` are selected afterwards.
    void select_only(const std::vector<size_t>& indexes);
    // `index` below size(), or none.
    void set_focus(size_t index);

    size_t add_observer(observer heard);
    void remove_observer(size_t id);

    // The playlist_manager service over this playlist; it lives as long as the playlist does.
    service_ptr manager() const { return manager_; }

private:
    struct entry {
        metadb_handle_ptr track;
        bool selected = false;
    };

    void changed(change what);

    std::vector<entry> items_;
    size_t focus_ = none;
    uint64_t revision_ = 0;
    std::vector<std::pair<size_t, observer>> observers_;
    size_t next_observer_ = 1;
    service_ptr manager_;
};

// A playlist as its file keeps it: one entry per track.
struct playlist_entry {
    std::string path;      // the track's path as the host keeps it
    uint32_t subsong = 0;  // its subsong index
    bool selected = false;
    bool operator==(const playlist_entry&) const = default;
};

// The file's text: the line "minihost playlist 1", then one line per track: "+" for a selected
// track or "-", a tab, the subsong in decimal, a tab, the path; lines end with "\n".
std::string playlist_file_text(const std::vector<playlist_entry>& entries);
// The entries of a file's text. False when the first line is not the one above; a later line that
// does not read as an entry is skipped, and counted in `skipped`.
bool parse_playlist_file(std::string_view text, std::vector<playlist_entry>& out, size_t& skipped);

std::vector<playlist_entry> playlist_entries(const playlist& list);
// Fills the empty `list` with `entries`: each file is read once through the host's inputs; a
// track whose file cannot be read (or no longer has that subsong) stays in the list without
// information, so nothing is lost while a disc is away. The focus goes to the first selected track.
void restore_playlist(playlist& list, track_cache& tracks, const std::vector<playlist_entry>& entries);

// The playlist file `path`: saved (written whole, then renamed over the old one; raises
// zorb::exception when it cannot be), and loaded into the empty `list`: nothing for a missing file,
// zorb::exception naming the file when it is not a playlist file; the count of lines skipped.
void save_playlist(const playlist& list, const std::string& path);
size_t load_playlist(playlist& list, track_cache& tracks, const std::string& path);

}  // namespace minihost
