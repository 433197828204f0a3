// Opening one of the component's modeless dialogs over the host's main window, for a window class
// whose dialog procedure keeps its object and deletes it at WM_NCDESTROY.
#pragma once

#include <windows.h>

#include "helpers/client.h"
#include "helpers/resource_module.h"
#include "host/exceptions.h"
#include "zorb/window_boundary.h"

namespace ambrel {

// Creates the dialog `template_id` with `self` as its parameter; from WM_INITDIALOG on, the window
// owns `self`. When no window could be made, `self` is deleted and exception_win32 raised. When the
// dialog could not set itself up (`setup`, a member of `self`, kept the failure), the window is
// destroyed, `self` with it, and that failure raised.
template <typename Dialog>
HWND create_owned_dialog(Dialog* self, int template_id, DLGPROC procedure, zorb::window_boundary& setup) {
    HWND window =
        CreateDialogParamW(static_cast<HINSTANCE>(resource_module()), MAKEINTRESOURCEW(template_id),
                           static_cast<HWND>(host().get_main_window()), procedure, reinterpret_cast<LPARAM>(self));
    if (window == nullptr) {
        const DWORD error = GetLastError();
        delete self;
        throw exception_win32(error);
    }
    if (setup.failed()) {
        try {
            setup.rethrow_failure();
        } catch (...) {
            DestroyWindow(window);
            throw;
        }
    }
    return window;
}

}  // namespace ambrel
