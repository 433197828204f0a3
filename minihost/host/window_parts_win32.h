// Pieces the host's own windows share: the window procedure that hands messages to the object the
// window was made for, the window class, and child controls in the dialog font.
#pragma once

#include <windows.h>

#include <cstdint>

namespace minihost {

// The window procedure of a window created with a `Window*` as its creation parameter: the
// messages go to that object's handle(), which runs them inside its own boundary, once the object
// knows its window (window() is set when CreateWindowExW returns and cleared at WM_DESTROY). The
// messages of the creation itself (WM_NCCALCSIZE, WM_CREATE, ...) get the default handling for
// this window: handled for a window not yet known, the frame and caption would go unmeasured.
template <typename Window>
LRESULT CALLBACK forward_to_window(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr || self->window() != window) return DefWindowProcW(window, message, wparam, lparam);
    return self->handle(message, wparam, lparam);
}

// Registers a top-level window class with the arrow cursor and the dialog background; a second
// registration of the same name fails harmlessly.
inline void register_window_class(const wchar_t* name, WNDPROC procedure) {
    WNDCLASSEXW window_class = {};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = procedure;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // the arrow
    window_class.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    window_class.lpszClassName = name;
    RegisterClassExW(&window_class);
}

// A visible child control of `parent` with the id `id`, in the dialog font; placed by the caller.
inline HWND make_control(HWND parent, const wchar_t* class_name, const wchar_t* text, DWORD style, int id) {
    HWND control =
        CreateWindowExW(0, class_name, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
                        reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), GetModuleHandleW(nullptr), nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    return control;
}

}  // namespace minihost
