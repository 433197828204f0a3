#include "sample/listcontrol/list_demo_window_win32.h"

#include <windowsx.h>

#include "helpers/client.h"
#include "helpers/owned_dialog_win32.h"
#include "helpers/popup.h"
#include "helpers/resource_module.h"
#include "host/exceptions.h"
#include "host/modeless.h"
#include "host/service_lookup.h"
#include "resources/resource.h"
#include "zorb/unicode.h"

namespace ambrel {
namespace {

constexpr int minimum_width = 320;  // pixels at 96 dots per inch
constexpr int minimum_height = 200;
constexpr UINT show_failure_message = WM_APP + 1;

void tell_registry(HWND window, bool add) {
    service_ptr_t<modeless_dialog_manager> registry;
    if (!service_try_lookup_one_t(host(), registry)) return;
    if (add)
        registry->add(window);
    else
        registry->remove(window);
}

// A dialog procedure answers WM_NOTIFY through the window's message result.
INT_PTR reply(HWND window, LRESULT result) {
    SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
    return TRUE;
}

}  // namespace

CListDemoWindow::~CListDemoWindow() {
    if (slot_) *slot_ = nullptr;
}

void CListDemoWindow::open(std::unique_ptr<CListDemoWindow> demo, HWND& slot) {
    const INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&classes);
    CListDemoWindow* self = demo.release();
    HWND window = create_owned_dialog(self, IDD_LIST_DEMO, dialog_proc, self->boundary_);
    self->slot_ = &slot;
    slot = window;
    ShowWindow(window, SW_SHOW);
}

INT_PTR CALLBACK CListDemoWindow::dialog_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lparam);
        reinterpret_cast<CListDemoWindow*>(lparam)->window_ = window;
    }
    auto* self = reinterpret_cast<CListDemoWindow*>(GetWindowLongPtrW(window, DWLP_USER));
    if (self == nullptr) return FALSE;
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, DWLP_USER, 0);
        delete self;
        return FALSE;
    }
    if (message == show_failure_message) {
        self->show_failure();
        return TRUE;
    }
    const INT_PTR result = self->boundary_.run<INT_PTR>(FALSE, [&] { return self->handle(message, wparam, lparam); });
    // Shown once the message is done with: a message box inside a paint request would ask again.
    if (message != WM_INITDIALOG && self->boundary_.failed()) PostMessageW(window, show_failure_message, 0, 0);
    return result;
}

INT_PTR CListDemoWindow::handle(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_INITDIALOG:
            on_init();
            return TRUE;
        case WM_SIZE:
            layout();
            return TRUE;
        case WM_GETMINMAXINFO: {
            auto* limits = reinterpret_cast<MINMAXINFO*>(lparam);
            limits->ptMinTrackSize = {minimum_width, minimum_height};
            return TRUE;
        }
        case WM_NOTIFY: {
            NMHDR& notification = *reinterpret_cast<NMHDR*>(lparam);
            LRESULT result = 0;
            if (list_.answer(notification, result)) return reply(window_, result);
            if (notification.hwndFrom != list_.window()) return FALSE;
            if (notification.code == LVN_ITEMCHANGED || notification.code == LVN_ODSTATECHANGED) refresh_status();
            return on_list_notify(notification, result) ? reply(window_, result) : FALSE;
        }
        case WM_CONTEXTMENU:
            if (reinterpret_cast<HWND>(wparam) != list_.window()) return FALSE;
            on_context_menu(menu_point({GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)}));
            return TRUE;
        case WM_MOUSEMOVE:
            if (GetCapture() == window_) on_drag_move(list_point(lparam));
            return TRUE;
        case WM_LBUTTONUP:
            if (GetCapture() == window_) on_drag_drop(list_point(lparam));
            return TRUE;
        case WM_CAPTURECHANGED:
            on_drag_cancel();
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wparam) != IDCANCEL) return FALSE;
            DestroyWindow(window_);
            return TRUE;
        case WM_DESTROY:
            tell_registry(window_, false);
            return FALSE;
        default:
            return FALSE;
    }
}

void CListDemoWindow::on_init() {
    SetWindowTextW(window_, zorb::wide_from_utf8(title_).c_str());
    status_ = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, window_,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_LIST_DEMO_STATUS)),
                              static_cast<HINSTANCE>(resource_module()), nullptr);
    if (status_ == nullptr) throw exception_win32(GetLastError());
    create_list();
    tell_registry(window_, true);
    layout();
    refresh_status();
    SetFocus(list_.window());
}

void CListDemoWindow::layout() const {
    if (status_ == nullptr || list_.window() == nullptr) return;
    SendMessageW(status_, WM_SIZE, 0, 0);
    RECT client, status;
    GetClientRect(window_, &client);
    GetWindowRect(status_, &status);
    MoveWindow(list_.window(), 0, 0, client.right, client.bottom - (status.bottom - status.top), TRUE);
}

void CListDemoWindow::refresh_status() const {
    if (status_ != nullptr) SetWindowTextW(status_, zorb::wide_from_utf8(status_text()).c_str());
}

POINT CListDemoWindow::menu_point(POINT point) const {
    if (point.x != -1 || point.y != -1) return point;
    RECT place = {LVIR_BOUNDS, 0, 0, 0};
    const size_t row = list_.focused_row();
    if (row == list_source::npos ||
        !SendMessageW(list_.window(), LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&place)))
        place = {};
    POINT middle = {(place.left + place.right) / 2, (place.top + place.bottom) / 2};
    ClientToScreen(list_.window(), &middle);
    return middle;
}

UINT CListDemoWindow::track_menu(HMENU menu, POINT point) const {
    const auto chosen = static_cast<UINT>(
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON, point.x, point.y, 0, window_, nullptr));
    DestroyMenu(menu);
    return chosen;
}

void CListDemoWindow::show_failure() {
    try {
        boundary_.rethrow_failure();
    } catch (const std::exception& failure) {
        popup_message_show(failure.what(), title_, popup_icon_error);
    } catch (...) {
    }
}

POINT CListDemoWindow::list_point(LPARAM lparam) const {
    POINT point = {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
    MapWindowPoints(window_, list_.window(), &point, 1);
    return point;
}

}  // namespace ambrel
