// The host's dialog text functions: UTF-8 in and out, UTF-16 at the Windows calls.
#include <windows.h>

#include <string>

#include "host/shared.h"

bool uSetDlgItemText(void* dialog, int id, const char* text) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring wide(size_t(length > 0 ? length : 1), L'\0');
    if (length > 0) MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), length);
    return SetDlgItemTextW(static_cast<HWND>(dialog), id, wide.c_str()) != FALSE;
}

bool uGetDlgItemText(void* dialog, int id, zorb::string_base& out) {
    out.set_string("", 0);
    HWND control = GetDlgItem(static_cast<HWND>(dialog), id);
    if (control == nullptr) return false;
    std::wstring wide(size_t(GetWindowTextLengthW(control)) + 1, L'\0');
    wide.resize(size_t(GetWindowTextW(control, wide.data(), int(wide.size()))));
    if (wide.empty()) return true;
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(size_t(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), text.data(), length, nullptr, nullptr);
    out.set_string(text.data(), text.size());
    return true;
}
