#include "minihost/host/playlist.h"

#include <algorithm>
#include <charconv>
#include <map>

#include "host/playlist.h"
#include "zorb/exception.h"
#include "zorb/files.h"

namespace minihost {
namespace {

class playlist_manager_impl : public playlist_manager {
public:
    explicit playlist_manager_impl(const playlist& list) : list_(list) {}
    size_t get_item_count() override { return list_.size(); }
    metadb_handle_ptr get_item(size_t index) override { return index < list_.size() ? list_.item(index) : nullptr; }
    bool is_item_selected(size_t index) override { return list_.is_selected(index); }
    void get_selected_items(metadb_handle_list& out) override { out = list_.selected_items(); }

private:
    const playlist& list_;
};

constexpr std::string_view file_head = "minihost playlist 1";

bool parse_entry(std::string_view line, playlist_entry& out) {
    const size_t first_tab = line.find('\t');
    const size_t second_tab = first_tab == std::string_view::npos ? first_tab : line.find('\t', first_tab + 1);
    if (second_tab == std::string_view::npos || first_tab != 1 || (line[0] != '+' && line[0] != '-')) return false;
    const std::string_view number = line.substr(first_tab + 1, second_tab - first_tab - 1);
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), out.subsong);
    if (error != std::errc() || end != number.data() + number.size() || number.empty()) return false;
    out.selected = line[0] == '+';
    out.path = std::string(line.substr(second_tab + 1));
    return !out.path.empty();
}

}  // namespace

playlist::playlist() : manager_(new service_impl_t<playlist_manager_impl>(*this)) {}

playlist::~playlist() = default;

metadb_handle_list playlist::items() const {
    metadb_handle_list out;
    for (const entry& each : items_) out.add_item(each.track);
    return out;
}

metadb_handle_list playlist::selected_items() const {
    metadb_handle_list out;
    for (const entry& each : items_)
        if (each.selected) out.add_item(each.track);
    return out;
}

std::vector<size_t> playlist::selected_indexes() const {
    std::vector<size_t> out;
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i].selected) out.push_back(i);
    return out;
}

size_t playlist::add(const metadb_handle_list& tracks) {
    const size_t first = items_.size();
    for (const metadb_handle_ptr& track : tracks)
        if (track) items_.push_back({track, false});
    if (items_.size() != first) changed(change::items);
    return first;
}

void playlist::remove(const std::vector<size_t>& indexes) {
    std::vector<bool> doomed(items_.size(), false);
    for (size_t index : indexes)
        if (index < items_.size()) doomed[index] = true;
    std::vector<entry> kept;
    size_t focus = none;
    for (size_t i = 0; i < items_.size(); ++i) {
        if (doomed[i]) continue;
        if (i == focus_) focus = kept.size();
        kept.push_back(std::move(items_[i]));
    }
    if (kept.size() == items_.size()) {
        items_ = std::move(kept);
        return;
    }
    items_ = std::move(kept);
    focus_ = focus;
    changed(change::items);
}

void playlist::clear() {
    if (items_.empty()) return;
    items_.clear();
    focus_ = none;
    changed(change::items);
}

void playlist::set_selected(size_t first, size_t last, bool selected) {
    bool any = false;
    for (size_t i = first; i <= last && i < items_.size(); ++i) {
        any = any || items_[i].selected != selected;
        items_[i].selected = selected;
    }
    if (any) changed(change::selection);
}

void playlist::select_only(const std::vector<size_t>& indexes) {
    std::vector<bool> wanted(items_.size(), false);
    for (size_t index : indexes)
        if (index < items_.size()) wanted[index] = true;
    bool any = false;
    for (size_t i = 0; i < items_.size(); ++i) {
        any = any || items_[i].selected != wanted[i];
        items_[i].selected = wanted[i];
    }
    if (any) changed(change::selection);
}

void playlist::set_focus(size_t index) {
    if (index != none && index >= items_.size()) return;
    if (index == focus_) return;
    focus_ = index;
    changed(change::selection);
}

size_t playlist::add_observer(observer heard) {
    observers_.emplace_back(next_observer_, std::move(heard));
    return next_observer_++;
}

void playlist::remove_observer(size_t id) {
    std::erase_if(observers_, [&](const auto& each) { return each.first == id; });
}

void playlist::changed(change what) {
    ++revision_;
    // A copy: an observer may add or remove observers while it is told.
    const auto observers = observers_;
    for (const auto& each : observers) each.second(what);
}

std::string playlist_file_text(const std::vector<playlist_entry>& entries) {
    std::string text = std::string(file_head) + "\n";
    for (const playlist_entry& each : entries)
        text += (each.selected ? "+\t" : "-\t") + std::to_string(each.subsong) + "\t" + each.path + "\n";
    return text;
}

bool parse_playlist_file(std::string_view text, std::vector<playlist_entry>& out, size_t& skipped) {
    out.clear();
    skipped = 0;
    bool head = true;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (head) {
            if (line != file_head) return false;
            head = false;
            continue;
        }
        if (line.empty()) continue;
        playlist_entry entry;
        if (parse_entry(line, entry))
            out.push_back(std::move(entry));
        else
            ++skipped;
    }
    return !head;
}

std::vector<playlist_entry> playlist_entries(const playlist& list) {
    std::vector<playlist_entry> entries;
    for (size_t i = 0; i < list.size(); ++i)
        entries.push_back({list.item(i)->get_path(), list.item(i)->get_subsong_index(), list.is_selected(i)});
    return entries;
}

void restore_playlist(playlist& list, track_cache& tracks, const std::vector<playlist_entry>& entries) {
    abort_callback_dummy abort;
    std::map<std::string, bool> read;
    metadb_handle_list restored;
    std::vector<size_t> selected;
    for (const playlist_entry& each : entries) {
        if (!read[each.path]) {
            std::string failure;  // a file that cannot be read keeps its tracks without information
            tracks.add_file(each.path, abort, failure);
            read[each.path] = true;
        }
        if (each.selected) selected.push_back(restored.get_count());
        restored.add_item(tracks.handle(each.path, each.subsong));
    }
    const size_t first = list.add(restored);
    for (size_t& index : selected) index += first;
    list.select_only(selected);
    if (!selected.empty()) list.set_focus(selected.front());
}

void save_playlist(const playlist& list, const std::string& path) {
    const std::string text = playlist_file_text(playlist_entries(list));
    zorb::replace_file(path, text.data(), text.size(), "the playlist");
}

size_t load_playlist(playlist& list, track_cache& tracks, const std::string& path) {
    std::vector<uint8_t> bytes;
    if (!zorb::read_file(path, bytes)) return 0;
    std::vector<playlist_entry> entries;
    size_t skipped = 0;
    if (!parse_playlist_file(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), entries,
                             skipped))
        throw zorb::exception("The file " + path + " is no playlist");
    restore_playlist(list, tracks, entries);
    return skipped;
}

}  // namespace minihost
