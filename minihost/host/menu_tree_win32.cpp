// Menu trees as Win32 menus.
#include <windows.h>

#include "host/exceptions.h"
#include "minihost/host/menu_tree.h"
#include "zorb/unicode.h"

namespace minihost {
namespace {

// An ampersand in a text marks the next letter as the menu's key; a plain one is written twice.
std::wstring menu_text(const std::string& text) {
    std::wstring wide;
    for (wchar_t c : zorb::wide_from_utf8(text)) {
        if (c == L'&') wide += L'&';
        wide += c;
    }
    return wide;
}

void append_entries(HMENU menu, const menu_node& parent, unsigned base_id, unsigned max_id, unsigned& next) {
    for (const menu_node& entry : parent.children) {
        BOOL appended = TRUE;
        if (entry.kind == menu_node::separator) {
            appended = AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        } else if (entry.kind == menu_node::popup) {
            HMENU sub = CreatePopupMenu();
            if (sub == nullptr) throw exception_win32(GetLastError());
            append_entries(sub, entry, base_id, max_id, next);
            appended =
                AppendMenuW(menu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(sub), menu_text(entry.text).c_str());
            if (!appended) DestroyMenu(sub);
        } else {
            const unsigned id = base_id + next++;
            if (id > max_id || id < base_id) continue;
            UINT flags = MF_STRING;
            if (entry.flags & menu_flag_checked) flags |= MF_CHECKED;
            if (entry.flags & menu_flag_disabled) flags |= MF_GRAYED;
            appended = AppendMenuW(menu, flags, id, menu_text(entry.text).c_str());
        }
        if (!appended) throw exception_win32(GetLastError());
    }
}

}  // namespace

void build_win32_menu(void* menu, const menu_node& root, unsigned base_id, unsigned max_id) {
    unsigned next = 0;
    append_entries(static_cast<HMENU>(menu), root, base_id, max_id, next);
}

}  // namespace minihost
