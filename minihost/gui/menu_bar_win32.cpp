#include "minihost/gui/menu_bar_win32.h"

#include "host/exceptions.h"
#include "minihost/host/main_menu.h"
#include "zorb/unicode.h"

namespace minihost {
namespace {

// A menu of the bar is known by the letter after "&": its first.
std::wstring bar_text(const std::string& name) {
    std::wstring text = L"&";
    for (wchar_t c : zorb::wide_from_utf8(name)) text += c == L'&' ? std::wstring(L"&&") : std::wstring(1, c);
    return text;
}

void empty_menu(HMENU menu) {
    while (GetMenuItemCount(menu) > 0) DeleteMenu(menu, 0, MF_BYPOSITION);  // sub-menus go with their entries
}

}  // namespace

void CMenuBar::attach(HWND window) {
    window_ = window;
    model_ = build_main_menu(api_);
    names_.clear();
    commands_.clear();
    HMENU bar = CreateMenu();
    if (bar == nullptr) throw exception_win32(GetLastError());
    for (const menu_node& menu : model_.children) {
        if (menu.kind != menu_node::popup) continue;
        HMENU popup = CreatePopupMenu();
        // Filled when it opens; until then it holds one entry, so that it opens at all.
        AppendMenuW(popup, MF_STRING | MF_GRAYED, 0, L"(empty)");
        AppendMenuW(bar, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup), bar_text(menu.name).c_str());
        names_.push_back(menu.name);
        commands_.emplace_back();
    }
    HMENU old = GetMenu(window);
    SetMenu(window, bar);
    if (old) DestroyMenu(old);
    DrawMenuBar(window);
}

bool CMenuBar::fill(HMENU popup) {
    HMENU bar = GetMenu(window_);
    size_t position = 0;
    while (position < names_.size() && GetSubMenu(bar, static_cast<int>(position)) != popup) ++position;
    if (position == names_.size()) return false;
    model_ = build_main_menu(api_);
    for (auto& commands : commands_) commands.clear();
    for (const menu_node& menu : model_.children)
        for (size_t i = 0; i < names_.size(); ++i)
            if (menu.kind == menu_node::popup && menu.name == names_[i]) commands_[i] = menu_commands_in_order(menu);
    empty_menu(popup);
    const unsigned base = first_id + static_cast<unsigned>(position) * ids_per_menu;
    for (const menu_node& menu : model_.children)
        if (menu.kind == menu_node::popup && menu.name == names_[position])
            build_win32_menu(popup, menu, base, base + ids_per_menu - 1);
    if (GetMenuItemCount(popup) == 0) AppendMenuW(popup, MF_STRING | MF_GRAYED, 0, L"(empty)");
    return true;
}

const menu_node* CMenuBar::command(unsigned id) const {
    if (id < first_id) return nullptr;
    const size_t position = (id - first_id) / ids_per_menu, index = (id - first_id) % ids_per_menu;
    if (position >= commands_.size() || index >= commands_[position].size()) return nullptr;
    return commands_[position][index];
}

std::string CMenuBar::description(unsigned item, unsigned flags) const {
    const menu_node* found = flags & (MF_POPUP | MF_SEPARATOR) ? nullptr : command(item);
    return found ? found->description : std::string();
}

std::string menu_select_description(const std::vector<const menu_node*>& commands, unsigned base, unsigned item,
                                    unsigned flags) {
    if (flags & (MF_POPUP | MF_SEPARATOR)) return {};
    if (item < base || item - base >= commands.size()) return {};
    return commands[item - base]->description;
}

}  // namespace minihost
