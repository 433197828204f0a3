#include "sample/listcontrol/list_control_win32.h"

#include <cwchar>

#include "helpers/resource_module.h"
#include "host/exceptions.h"
#include "zorb/unicode.h"

namespace ambrel {
namespace {

int screen_dpi(HWND window) {
    HDC dc = GetDC(window);
    const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 96;
    if (dc) ReleaseDC(window, dc);
    return dpi;
}

// Copies `text` into the list's buffer of `capacity` characters, cut short when it must be.
void copy_text(const std::string& text, wchar_t* buffer, int capacity) {
    if (buffer == nullptr || capacity <= 0) return;
    const std::wstring wide = zorb::wide_from_utf8(text);
    const size_t length = wide.size() < static_cast<size_t>(capacity) ? wide.size() : static_cast<size_t>(capacity) - 1;
    wmemcpy(buffer, wide.data(), length);
    buffer[length] = L'\0';
}

}  // namespace

void CListControl::create(HWND parent, int id, const std::vector<list_column>& columns, const list_source& source,
                          options chosen) {
    const INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&classes);
    source_ = &source;
    DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS;
    if (chosen.edit_labels) style |= LVS_EDITLABELS;
    window_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"", style, 0, 0, 0, 0, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                              static_cast<HINSTANCE>(resource_module()), nullptr);
    if (window_ == nullptr) throw exception_win32(GetLastError());
    DWORD extended = LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER;
    if (chosen.check_boxes) extended |= LVS_EX_CHECKBOXES;
    SendMessageW(window_, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
    // An owner-data list keeps no check states: it asks for them with the texts.
    if (chosen.check_boxes) SendMessageW(window_, LVM_SETCALLBACKMASK, LVIS_STATEIMAGEMASK, 0);
    const int dpi = screen_dpi(parent);
    column_count_ = columns.size();
    for (size_t i = 0; i < columns.size(); ++i) {
        std::wstring title = zorb::wide_from_utf8(columns[i].title);
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
        column.fmt = columns[i].right_aligned && i > 0 ? LVCFMT_RIGHT : LVCFMT_LEFT;
        column.cx = scale_for_dpi(columns[i].width, dpi);
        column.pszText = title.data();
        column.iSubItem = static_cast<int>(i);
        SendMessageW(window_, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
    reload();
}

bool CListControl::answer(NMHDR& notification, LRESULT& result) const {
    if (notification.hwndFrom != window_) return false;
    switch (notification.code) {
        case LVN_GETDISPINFOW: {
            LVITEMW& item = reinterpret_cast<NMLVDISPINFOW&>(notification).item;
            const auto row = static_cast<size_t>(item.iItem);
            if (item.iItem < 0 || row >= source_->row_count()) return true;
            if ((item.mask & LVIF_TEXT) && static_cast<size_t>(item.iSubItem) < column_count_)
                copy_text(source_->cell_text(row, static_cast<size_t>(item.iSubItem)), item.pszText, item.cchTextMax);
            if ((item.mask & LVIF_STATE) && (item.stateMask & LVIS_STATEIMAGEMASK)) {
                item.state &= ~LVIS_STATEIMAGEMASK;
                item.state |= INDEXTOSTATEIMAGEMASK(source_->is_checked(row) ? 2 : 1);
            }
            result = 0;
            return true;
        }
        case LVN_ODFINDITEMW: {
            const auto& find = reinterpret_cast<const NMLVFINDITEMW&>(notification);
            result = -1;
            if ((find.lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) && find.lvfi.psz != nullptr) {
                const size_t row = source_->find_row(zorb::utf8_from_wide(find.lvfi.psz),
                                                     find.iStart < 0 ? 0 : static_cast<size_t>(find.iStart));
                if (row != list_source::npos) result = static_cast<LRESULT>(row);
            }
            return true;
        }
        case LVN_ODCACHEHINT:
            result = 0;
            return true;
        default:
            return false;
    }
}

void CListControl::reload() const {
    SendMessageW(window_, LVM_SETITEMCOUNT, source_->row_count(), LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL);
    InvalidateRect(window_, nullptr, TRUE);
}

void CListControl::redraw_row(size_t row) const { SendMessageW(window_, LVM_REDRAWITEMS, row, row); }

std::vector<size_t> CListControl::selected_rows() const {
    std::vector<size_t> rows;
    for (int row = -1; (row = static_cast<int>(SendMessageW(window_, LVM_GETNEXTITEM, row, LVNI_SELECTED))) >= 0;)
        rows.push_back(static_cast<size_t>(row));
    return rows;
}

size_t CListControl::selected_count() const {
    return static_cast<size_t>(SendMessageW(window_, LVM_GETSELECTEDCOUNT, 0, 0));
}

void CListControl::select_rows(const std::vector<size_t>& rows) const {
    LVITEMW clear = {};
    clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(window_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&clear));
    for (size_t i = 0; i < rows.size(); ++i) {
        LVITEMW item = {};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = LVIS_SELECTED | (i == 0 ? LVIS_FOCUSED : 0);
        SendMessageW(window_, LVM_SETITEMSTATE, rows[i], reinterpret_cast<LPARAM>(&item));
    }
    if (!rows.empty()) SendMessageW(window_, LVM_ENSUREVISIBLE, rows.front(), FALSE);
}

size_t CListControl::focused_row() const {
    const auto row = static_cast<int>(SendMessageW(window_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    return row < 0 ? list_source::npos : static_cast<size_t>(row);
}

CListControl::hit CListControl::hit_test(POINT point) const {
    LVHITTESTINFO info = {};
    info.pt = point;
    SendMessageW(window_, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&info));
    hit found;
    if (info.iItem < 0 || static_cast<size_t>(info.iItem) >= source_->row_count()) return found;
    found.row = static_cast<size_t>(info.iItem);
    found.column = info.iSubItem < 0 ? 0 : static_cast<size_t>(info.iSubItem);
    found.on_check_box = (info.flags & LVHT_ONITEMSTATEICON) != 0;
    return found;
}

size_t CListControl::gap_at(POINT point) const {
    const size_t count = source_->row_count();
    LVHITTESTINFO info = {};
    info.pt = point;
    const auto row = static_cast<int>(SendMessageW(window_, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&info)));
    if (row < 0 || static_cast<size_t>(row) >= count) {
        // Above the first row (in the header) counts as before it; anywhere else as after the last.
        const int top = static_cast<int>(SendMessageW(window_, LVM_GETTOPINDEX, 0, 0));
        RECT first = {LVIR_BOUNDS, 0, 0, 0};
        const bool above =
            SendMessageW(window_, LVM_GETITEMRECT, top, reinterpret_cast<LPARAM>(&first)) && point.y < first.top;
        return above ? static_cast<size_t>(top) : count;
    }
    RECT bounds = {LVIR_BOUNDS, 0, 0, 0};
    SendMessageW(window_, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&bounds));
    return static_cast<size_t>(row) + (point.y >= (bounds.top + bounds.bottom) / 2 ? 1 : 0);
}

void CListControl::show_sort_arrow(size_t column, bool ascending) const {
    HWND header = reinterpret_cast<HWND>(SendMessageW(window_, LVM_GETHEADER, 0, 0));
    for (size_t i = 0; i < column_count_; ++i) {
        HDITEMW item = {};
        item.mask = HDI_FORMAT;
        SendMessageW(header, HDM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (i == column) item.fmt |= ascending ? HDF_SORTUP : HDF_SORTDOWN;
        SendMessageW(header, HDM_SETITEMW, i, reinterpret_cast<LPARAM>(&item));
    }
}

}  // namespace ambrel
