// "Simple CListControl demo": the playlist's tracks (or a sample set when it is empty); a click on a
// column's header sorts by it, Ctrl+C copies the selected rows as text.
#include <algorithm>

#include "helpers/client.h"
#include "host/exceptions.h"
#include "host/playlist.h"
#include "host/service_lookup.h"
#include "resources/resource.h"
#include "sample/listcontrol/list_demo_window_win32.h"
#include "sample/listcontrol/track_rows.h"
#include "zorb/unicode.h"

namespace ambrel {
namespace {

// The playlist's tracks; none when the host has no playlist or it is empty.
metadb_handle_list playlist_tracks() {
    metadb_handle_list tracks;
    service_ptr_t<playlist_manager> playlist;
    if (!service_try_lookup_one_t(host(), playlist)) return tracks;
    const size_t count = playlist->get_item_count();
    for (size_t i = 0; i < count; ++i) tracks.add_item(playlist->get_item(i));
    return tracks;
}

void put_on_clipboard(HWND owner, const std::string& text) {
    const std::wstring wide = zorb::wide_from_utf8(text);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, (wide.size() + 1) * sizeof(wchar_t));
    if (block == nullptr) throw exception_win32(GetLastError());
    std::copy(wide.c_str(), wide.c_str() + wide.size() + 1, static_cast<wchar_t*>(GlobalLock(block)));
    GlobalUnlock(block);
    if (!OpenClipboard(owner)) {
        const DWORD error = GetLastError();
        GlobalFree(block);
        throw exception_win32(error);
    }
    EmptyClipboard();
    if (SetClipboardData(CF_UNICODETEXT, block) == nullptr) GlobalFree(block);  // else the clipboard owns it
    CloseClipboard();
}

class CSimpleListDemo final : public CListDemoWindow {
public:
    CSimpleListDemo() : CListDemoWindow("Simple CListControl demo"), rows_(track_rows::sample()) {
        const metadb_handle_list tracks = playlist_tracks();
        from_playlist_ = !tracks.empty();
        if (from_playlist_) rows_ = track_rows::of_tracks(tracks);
    }

private:
    void create_list() override { list_.create(window(), IDC_LIST_DEMO_LIST, track_rows::columns(), rows_, {}); }
    std::string status_text() const override {
        return count_text(rows_.row_count()) +
               (from_playlist_ ? " tracks of the playlist, " : " sample tracks (the playlist is empty), ") +
               count_text(list_.selected_count()) + " selected";
    }
    bool on_list_notify(NMHDR& notification, LRESULT& result) override {
        result = 0;
        if (notification.code == LVN_COLUMNCLICK) {
            sort_by(static_cast<size_t>(reinterpret_cast<NMLISTVIEW&>(notification).iSubItem));
            return true;
        }
        if (notification.code == LVN_KEYDOWN && reinterpret_cast<NMLVKEYDOWN&>(notification).wVKey == 'C' &&
            GetKeyState(VK_CONTROL) < 0) {
            put_on_clipboard(window(), rows_.copy_text(list_.selected_rows()));
            return true;
        }
        return false;
    }

    // A second click on the same column turns the order round; the selected tracks stay selected.
    void sort_by(size_t column) {
        ascending_ = column == sort_column_ ? !ascending_ : true;
        sort_column_ = column;
        const std::vector<size_t> selected = list_.selected_rows();
        const std::vector<size_t> moved = rows_.sort(column, ascending_);
        std::vector<size_t> reselected;
        for (size_t row : selected) reselected.push_back(moved[row]);
        std::sort(reselected.begin(), reselected.end());
        list_.show_sort_arrow(column, ascending_);
        list_.reload();
        list_.select_rows(reselected);
    }

    track_rows rows_;
    bool from_playlist_ = false;
    size_t sort_column_ = list_source::npos;
    bool ascending_ = true;
};

}  // namespace

std::unique_ptr<CListDemoWindow> make_simple_list_demo() { return std::make_unique<CSimpleListDemo>(); }

}  // namespace ambrel
