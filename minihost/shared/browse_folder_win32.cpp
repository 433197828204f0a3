// The system's folder picker.
#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

#include "host/shared.h"
#include "zorb/unicode.h"

bool system_folder_picker(void* parent, const char* title, zorb::string_base& out) {
    // The picker's newer look needs COM on this thread; a thread that has it already keeps it.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::wstring heading = zorb::wide_from_utf8(title);
    BROWSEINFOW info = {};
    info.hwndOwner = static_cast<HWND>(parent);
    info.lpszTitle = heading.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    bool chosen = false;
    if (PIDLIST_ABSOLUTE folder = SHBrowseForFolderW(&info)) {
        wchar_t path[MAX_PATH];
        if (SHGetPathFromIDListW(folder, path)) {
            const std::string text = zorb::utf8_from_wide(path);
            out.set_string(text.data(), text.size());
            chosen = true;
        }
        CoTaskMemFree(folder);
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return chosen;
}
