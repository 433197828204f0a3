// The host's dialog text functions: UTF-8 in and out, UTF-16 at the Windows calls.
#include <windows.h>

#include <string>

#include "host/shared.h"
#include "zorb/unicode.h"

bool uSetDlgItemText(void* dialog, int id, const char* text) {
    return SetDlgItemTextW(static_cast<HWND>(dialog), id, zorb::wide_from_utf8(text).c_str()) != FALSE;
}

bool uGetDlgItemText(void* dialog, int id, zorb::string_base& out) {
    out.set_string("", 0);
    HWND control = GetDlgItem(static_cast<HWND>(dialog), id);
    if (control == nullptr) return false;
    std::wstring wide(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    wide.resize(static_cast<size_t>(GetWindowTextW(control, wide.data(), static_cast<int>(wide.size()))));
    const std::string text = zorb::utf8_from_wide(wide);
    out.set_string(text.data(), text.size());
    return true;
}
