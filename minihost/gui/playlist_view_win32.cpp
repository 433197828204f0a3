#include "minihost/gui/playlist_view_win32.h"

#include <algorithm>
#include <cwchar>

#include "host/exceptions.h"
#include "minihost/gui/playlist_columns.h"
#include "zorb/unicode.h"

namespace minihost {
namespace {

int screen_dpi(HWND window) {
    HDC dc = GetDC(window);
    const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 96;
    if (dc) ReleaseDC(window, dc);
    return dpi < 1 ? 96 : dpi;
}

}  // namespace

CPlaylistView::~CPlaylistView() {
    if (observer_) list_.remove_observer(observer_);
}

void CPlaylistView::create(HWND parent, int id) {
    const INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&classes);
    window_ =
        CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                        WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS, 0, 0, 0, 0,
                        parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (window_ == nullptr) throw exception_win32(GetLastError());
    const DWORD extended = LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP | LVS_EX_DOUBLEBUFFER;
    SendMessageW(window_, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
    const int dpi = screen_dpi(parent);
    int index = 0;
    for (const playlist_column& each : playlist_columns()) {
        std::wstring title = zorb::wide_from_utf8(each.title);
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.fmt = each.right_aligned ? LVCFMT_RIGHT : LVCFMT_LEFT;
        column.cx = MulDiv(each.width, dpi, 96);
        column.pszText = title.data();
        SendMessageW(window_, LVM_INSERTCOLUMNW, index++, reinterpret_cast<LPARAM>(&column));
    }
    observer_ = list_.add_observer([this](playlist::change what) { on_change(what); });
    on_change(playlist::change::items);
}

bool CPlaylistView::answer(NMHDR& notification, LRESULT& result) {
    if (notification.hwndFrom != window_) return false;
    result = 0;
    switch (notification.code) {
        case LVN_GETDISPINFOW: {
            LVITEMW& item = reinterpret_cast<NMLVDISPINFOW&>(notification).item;
            if (!(item.mask & LVIF_TEXT) || item.iItem < 0 || static_cast<size_t>(item.iItem) >= list_.size() ||
                item.pszText == nullptr || item.cchTextMax <= 0)
                return true;
            const std::wstring text = zorb::wide_from_utf8(
                playlist_cell(*list_.item(static_cast<size_t>(item.iItem)), static_cast<size_t>(item.iSubItem)));
            const size_t length = std::min(text.size(), static_cast<size_t>(item.cchTextMax) - 1);
            wmemcpy(item.pszText, text.data(), length);
            item.pszText[length] = L'\0';
            return true;
        }
        case LVN_ITEMCHANGED: {
            const auto& change = reinterpret_cast<NMLISTVIEW&>(notification);
            if (showing_ || !(change.uChanged & LVIF_STATE)) return true;
            from_view_ = true;
            if ((change.uNewState ^ change.uOldState) & LVIS_SELECTED) {
                const bool selected = (change.uNewState & LVIS_SELECTED) != 0;
                if (change.iItem < 0)
                    list_.set_selected(0, list_.size(), selected);
                else
                    list_.set_selected(static_cast<size_t>(change.iItem), static_cast<size_t>(change.iItem), selected);
            }
            if ((change.uNewState & LVIS_FOCUSED) && change.iItem >= 0)
                list_.set_focus(static_cast<size_t>(change.iItem));
            from_view_ = false;
            return true;
        }
        case LVN_ODSTATECHANGED: {
            const auto& change = reinterpret_cast<NMLVODSTATECHANGE&>(notification);
            if (!showing_ && ((change.uNewState ^ change.uOldState) & LVIS_SELECTED)) {
                from_view_ = true;
                list_.set_selected(static_cast<size_t>(change.iFrom), static_cast<size_t>(change.iTo),
                                   (change.uNewState & LVIS_SELECTED) != 0);
                from_view_ = false;
            }
            return true;
        }
        case LVN_ODCACHEHINT:
            return true;
        default:
            return false;
    }
}

void CPlaylistView::redraw() const { InvalidateRect(window_, nullptr, FALSE); }

POINT CPlaylistView::focused_point() const {
    RECT place = {LVIR_BOUNDS, 0, 0, 0};
    const auto row = static_cast<int>(SendMessageW(window_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    if (row < 0 || !SendMessageW(window_, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&place))) place = {};
    // A wide row reaches past the view's right edge and a scrolled one past its top or bottom: the
    // menu opens on the part of the row that shows.
    RECT client;
    GetClientRect(window_, &client);
    POINT middle = {std::clamp((place.left + place.right) / 2, client.left, client.right),
                    std::clamp((place.top + place.bottom) / 2, client.top, client.bottom)};
    ClientToScreen(window_, &middle);
    return middle;
}

void CPlaylistView::on_change(playlist::change what) {
    if (what == playlist::change::items) SendMessageW(window_, LVM_SETITEMCOUNT, list_.size(), LVSICF_NOSCROLL);
    if (!from_view_) show_selection();
    redraw();
}

// The view shows the playlist's selection and focus.
void CPlaylistView::show_selection() {
    showing_ = true;  // the notifications this sends must not go back to the playlist
    LVITEMW clear = {};
    clear.stateMask = LVIS_SELECTED;
    SendMessageW(window_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&clear));
    for (size_t index : list_.selected_indexes()) {
        LVITEMW item = {};
        item.stateMask = item.state = LVIS_SELECTED;
        SendMessageW(window_, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&item));
    }
    if (list_.focus() != playlist::none) {
        LVITEMW item = {};
        item.stateMask = item.state = LVIS_FOCUSED;
        SendMessageW(window_, LVM_SETITEMSTATE, list_.focus(), reinterpret_cast<LPARAM>(&item));
    }
    showing_ = false;
}

}  // namespace minihost
