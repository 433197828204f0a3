// The waker: a message-only window whose one message runs the queue.
#include <windows.h>

#include "minihost/host/main_thread.h"

namespace minihost {
namespace {

constexpr UINT run_message = WM_APP + 0x31;
const wchar_t class_name[] = L"minihost main-thread callbacks";

LRESULT CALLBACK waker_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message != run_message) return DefWindowProcW(window, message, wparam, lparam);
    // run_pending catches what the callbacks raise.
    reinterpret_cast<main_thread_queue*>(GetWindowLongPtrW(window, GWLP_USERDATA))->run_pending();
    return 0;
}

}  // namespace

void main_thread_queue::create_waker() {
    WNDCLASSW window_class = {};
    window_class.lpfnWndProc = waker_proc;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = class_name;
    RegisterClassW(&window_class);  // fails harmlessly when a former queue registered it
    HWND window =
        CreateWindowExW(0, class_name, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (window != nullptr) SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    waker_ = window;
}

void main_thread_queue::destroy_waker() {
    if (waker_ != nullptr) DestroyWindow(static_cast<HWND>(waker_));
    waker_ = nullptr;
}

void main_thread_queue::wake() {
    if (waker_ != nullptr) PostMessageW(static_cast<HWND>(waker_), run_message, 0, 0);
}

}  // namespace minihost
