#include <windows.h>

#include <commdlg.h>
#include <shlobj.h>

#include "host/input.h"
#include "host/service_lookup.h"
#include "minihost/gui/file_dialogs.h"
#include "zorb/unicode.h"

namespace minihost {
namespace {

// The filter of the open dialog: pairs of a name and its masks, each ended by a zero, with one
// more zero at the end.
std::wstring type_filter(host_api& api) {
    std::wstring all_masks, single;
    const size_t services = service_count_t<input_file_type>(api);
    for (size_t i = 0; i < services; ++i) {
        auto types = service_create_at_t<input_file_type>(api, i);
        for (unsigned type = 0; types && type < types->count_types(); ++type) {
            zorb::string8 name, mask;
            if (!types->type_name(type, name) || !types->type_mask(type, mask)) continue;
            const std::wstring wide_mask = zorb::wide_from_utf8(mask.str());
            all_masks += (all_masks.empty() ? L"" : L";") + wide_mask;
            single += zorb::wide_from_utf8(name.str()) + L" (" + wide_mask + L")" + L'\0' + wide_mask + L'\0';
        }
    }
    std::wstring filter;
    if (!all_masks.empty()) filter += L"All supported files" + std::wstring(1, L'\0') + all_masks + L'\0';
    filter += single;
    filter += L"All files (*.*)" + std::wstring(1, L'\0') + L"*.*" + L'\0';
    return filter;
}

}  // namespace

std::vector<std::string> choose_files(host_api& api, host_window owner) {
    const std::wstring filter = type_filter(api);
    std::wstring buffer(32768, L'\0');
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = static_cast<HWND>(owner);
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = buffer.data();
    dialog.nMaxFile = static_cast<DWORD>(buffer.size());
    dialog.lpstrTitle = L"Open";
    dialog.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (!GetOpenFileNameW(&dialog)) return {};
    // One file: its full path. Several: the folder, then each name, every part ended by a zero.
    std::vector<std::wstring> parts;
    for (const wchar_t* part = buffer.c_str(); *part; part += wcslen(part) + 1) parts.emplace_back(part);
    std::vector<std::string> files;
    if (parts.size() == 1) {
        files.push_back(zorb::utf8_from_wide(parts[0]));
    } else {
        for (size_t i = 1; i < parts.size(); ++i) files.push_back(zorb::utf8_from_wide(parts[0] + L"\\" + parts[i]));
    }
    return files;
}

std::string choose_folder(host_window owner, const std::string& title) {
    const std::wstring wide_title = zorb::wide_from_utf8(title);
    wchar_t chosen[MAX_PATH] = {};
    BROWSEINFOW browse = {};
    browse.hwndOwner = static_cast<HWND>(owner);
    browse.pszDisplayName = chosen;
    browse.lpszTitle = wide_title.c_str();
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    std::string folder;
    if (LPITEMIDLIST item = SHBrowseForFolderW(&browse)) {
        if (SHGetPathFromIDListW(item, chosen)) folder = zorb::utf8_from_wide(chosen);
        CoTaskMemFree(item);
    }
    if (com) CoUninitialize();
    return folder;
}

}  // namespace minihost
