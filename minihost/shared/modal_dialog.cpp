// The modal dialog guard: a count of the modal dialogs open and the thread that opened the first.
#include <atomic>

#include "host/shared.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

std::atomic<int> open_dialogs{0};
std::atomic<unsigned long> opening_thread{0};

#ifdef _WIN32
BOOL CALLBACK bring_forward(HWND window, LPARAM) {
    // Windows of a thread come top first; the dialog is the uppermost one that takes input.
    if (!IsWindowVisible(window) || !IsWindowEnabled(window)) return TRUE;
    SetForegroundWindow(window);
    FLASHWINFO flash{sizeof flash, window, FLASHW_CAPTION, 3, 0};
    FlashWindowEx(&flash);
    return FALSE;
}
#endif

}  // namespace

extern "C" bool ModalDialog_CanCreateNew() { return open_dialogs.load() == 0; }

extern "C" void ModalDialog_PokeExisting() {
    if (open_dialogs.load() == 0) return;
#ifdef _WIN32
    EnumThreadWindows(opening_thread.load(), bring_forward, 0);
#endif
}

extern "C" void ModalDialog_Switch(bool entering) {
    if (entering) {
#ifdef _WIN32
        if (open_dialogs.load() == 0) opening_thread = GetCurrentThreadId();
#endif
        ++open_dialogs;
        return;
    }
    // An unpaired close must not make the guard refuse every dialog from then on.
    int count = open_dialogs.load();
    while (count > 0 && !open_dialogs.compare_exchange_weak(count, count - 1)) {
    }
}
