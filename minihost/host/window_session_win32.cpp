#include <windows.h>

#include <cstdio>
#include <exception>
#include <string_view>

#include "minihost/host/preferences_window.h"
#include "minihost/host/threaded_process.h"
#include "minihost/host/window_session.h"

namespace minihost {
namespace {

BOOL CALLBACK close_window(HWND window, LPARAM) {
    PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}

void CALLBACK close_thread_windows(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    EndMenu();  // a menu open now would hold the windows in its own loop
    EnumThreadWindows(GetCurrentThreadId(), close_window, 0);
}

BOOL CALLBACK note_visible_window(HWND window, LPARAM found) {
    if (!IsWindowVisible(window)) return TRUE;
    *reinterpret_cast<bool*>(found) = true;
    return FALSE;
}

// Tab, Enter and Escape act in a dialog as in a modal one.
bool is_dialog_key(MSG& message) {
    const HWND root = GetAncestor(message.hwnd, GA_ROOT);
    wchar_t name[16] = {};
    if (root == nullptr || GetClassNameW(root, name, 16) == 0 || std::wstring_view(name) != L"#32770") return false;
    return IsDialogMessageW(root, &message) != FALSE;
}

}  // namespace

bool pump_window_messages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));  // for the loop that waits for it
            break;
        }
        if (is_dialog_key(message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    bool found = false;
    EnumThreadWindows(GetCurrentThreadId(), note_visible_window, reinterpret_cast<LPARAM>(&found));
    return found;
}

void wait_for_window_messages(unsigned milliseconds) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds, QS_ALLINPUT);
}

void close_windows_after(double seconds) {
    if (seconds > 0) SetTimer(nullptr, 0, static_cast<UINT>(seconds * 1000), close_thread_windows);
}

bool pump_messages(double seconds) {
    if (seconds > 0) MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(seconds * 1000), QS_ALLINPUT);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));  // for the loop that waits for it
            return false;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return true;
}

int show_preferences_window(host_api& api, double close_after_seconds) {
    try {
        CPreferencesWindow window(api, [](const std::string& message) {
            std::fprintf(stderr, "minihost: preferences page: %s\n", message.c_str());
        });
        window.create(true);
        close_windows_after(close_after_seconds);
        window.run_until_closed();
        return window.failed() ? 1 : 0;
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "minihost: %s\n", failure.what());
        return 1;
    }
}

}  // namespace minihost
