#include <windows.h>

#include <cstdio>
#include <exception>

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
    EnumThreadWindows(GetCurrentThreadId(), close_window, 0);
}

}  // namespace

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
