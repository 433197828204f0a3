#include "sample/commands/dialog_resize_win32.h"

#include <cmath>

namespace ambrel {

void CDialogResizeHelper::process_message(HWND dialog, UINT message, LPARAM lparam) {
    switch (message) {
        case WM_INITDIALOG:
            take_places(dialog);
            break;
        case WM_SIZE:
            if (!placed_.empty()) move_controls(dialog, LOWORD(lparam), HIWORD(lparam));
            break;
        case WM_GETMINMAXINFO:
            if (start_window_.cx > 0)
                reinterpret_cast<MINMAXINFO*>(lparam)->ptMinTrackSize = {start_window_.cx, start_window_.cy};
            break;
        default:
            break;
    }
}

void CDialogResizeHelper::take_places(HWND dialog) {
    RECT client, window;
    GetClientRect(dialog, &client);
    GetWindowRect(dialog, &window);
    start_client_ = {client.right, client.bottom};
    start_window_ = {window.right - window.left, window.bottom - window.top};
    placed_.clear();
    for (const rule& each : rules_) {
        HWND control = GetDlgItem(dialog, each.control_id);
        if (control == nullptr) continue;
        RECT place;
        GetWindowRect(control, &place);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
        placed_.push_back({control, place, &each});
    }
}

void CDialogResizeHelper::move_controls(HWND dialog, int width, int height) const {
    const float dx = float(width - start_client_.cx), dy = float(height - start_client_.cy);
    HDWP moves = BeginDeferWindowPos(int(placed_.size()));
    for (const placed& each : placed_) {
        const int left = each.start.left + int(std::lround(each.how->left * dx));
        const int top = each.start.top + int(std::lround(each.how->top * dy));
        const int right = each.start.right + int(std::lround(each.how->right * dx));
        const int bottom = each.start.bottom + int(std::lround(each.how->bottom * dy));
        if (moves)
            moves = DeferWindowPos(moves, each.control, nullptr, left, top, right - left, bottom - top,
                                   SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (moves) EndDeferWindowPos(moves);
    InvalidateRect(dialog, nullptr, TRUE);
}

}  // namespace ambrel
