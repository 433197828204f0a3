#include <windows.h>
// The list view's declarations need the window types above.
#include <commctrl.h>

#include <cstdio>
#include <exception>

#include "minihost/host/properties_window.h"
#include "minihost/host/window_parts_win32.h"
#include "minihost/host/window_session.h"
#include "zorb/exception.h"
#include "zorb/unicode.h"

namespace minihost {
namespace {

constexpr wchar_t window_class_name[] = L"minihost properties";
constexpr int margin = 8;
constexpr int button_width = 80;
constexpr int button_height = 24;
constexpr int name_column_width = 200;

void add_column(HWND list, int index, const wchar_t* title, int width) {
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = const_cast<wchar_t*>(title);
    column.cx = width;
    SendMessageW(list, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column));
}

void set_cell(HWND list, int row, int column, const std::string& text) {
    std::wstring wide = zorb::wide_from_utf8(text);
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.iSubItem = column;
    item.pszText = wide.data();
    SendMessageW(list, column == 0 ? LVM_INSERTITEMW : LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
}

}  // namespace

CPropertiesWindow::~CPropertiesWindow() {
    if (window_) DestroyWindow(static_cast<HWND>(window_));
}

void CPropertiesWindow::create(host_window owner, bool visible) {
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&classes);
    register_window_class(window_class_name, forward_to_window<CPropertiesWindow>);
    HWND window = CreateWindowExW(WS_EX_CONTROLPARENT, window_class_name, L"Properties",
                                  WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT, 520, 440,
                                  static_cast<HWND>(owner), nullptr, GetModuleHandleW(nullptr), this);
    if (window == nullptr) throw zorb::exception("Cannot create the properties window");
    window_ = window;
    HWND list = make_control(window, WC_LISTVIEWW, L"",
                             WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS, list_id);
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    add_column(list, 0, L"Name", name_column_width);
    add_column(list, 1, L"Value", 280);
    for (size_t row = 0; row < lines_.size(); ++row) {
        set_cell(list, int(row), 0, lines_[row].name);
        if (!lines_[row].value.empty()) set_cell(list, int(row), 1, lines_[row].value);
    }
    make_control(window, L"BUTTON", L"Close", WS_TABSTOP | BS_DEFPUSHBUTTON, IDCANCEL);
    layout();
    if (visible) ShowWindow(window, SW_SHOW);
    SetFocus(list);
}

void CPropertiesWindow::run_until_closed() {
    MSG message;
    while (window_ && GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (window_ && IsDialogMessageW(static_cast<HWND>(window_), &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

host_window CPropertiesWindow::list() const { return GetDlgItem(static_cast<HWND>(window_), list_id); }

intptr_t CPropertiesWindow::handle(unsigned message, uintptr_t wparam, intptr_t lparam) {
    return boundary_.run<intptr_t>(0, [&]() -> intptr_t {
        HWND window = static_cast<HWND>(window_);
        switch (message) {
            case WM_COMMAND:
                if (LOWORD(wparam) == IDCANCEL || LOWORD(wparam) == IDOK) DestroyWindow(window);
                return 0;
            case WM_SIZE:
                layout();
                return 0;
            case WM_CLOSE:
                DestroyWindow(window);
                return 0;
            case WM_DESTROY:
                window_ = nullptr;
                return 0;
            default:
                return DefWindowProcW(window, message, wparam, lparam);
        }
    });
}

void CPropertiesWindow::layout() {
    HWND window = static_cast<HWND>(window_);
    RECT client;
    GetClientRect(window, &client);
    const int button_top = client.bottom - margin - button_height;
    MoveWindow(GetDlgItem(window, list_id), margin, margin, client.right - 2 * margin, button_top - 2 * margin, TRUE);
    MoveWindow(GetDlgItem(window, IDCANCEL), client.right - margin - button_width, button_top, button_width,
               button_height, TRUE);
}

int show_properties_window(host_api& api, const metadb_handle_list& tracks, double close_after_seconds) {
    try {
        std::vector<std::string> failed;
        CPropertiesWindow window(track_property_rows(api, tracks, &failed));
        for (const std::string& reason : failed)
            std::fprintf(stderr, "minihost: a property provider failed: %s\n", reason.c_str());
        window.create(api.get_main_window(), true);
        close_windows_after(close_after_seconds);
        window.run_until_closed();
        return failed.empty() ? 0 : 1;
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "minihost: %s\n", failure.what());
        return 1;
    }
}

}  // namespace minihost
