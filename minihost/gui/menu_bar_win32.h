// The main window's menu bar: one menu per menu of the host's main menu that has something in it,
// each filled anew from the services every time it opens, so ticks, disabled entries and dynamic
// commands are current.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "host/host_api.h"
#include "minihost/host/menu_tree.h"

namespace minihost {

class CMenuBar {
public:
    // Command ids: each menu of the bar numbers its commands from first_id + position × ids_per_menu.
    static constexpr unsigned first_id = 0x1000;
    static constexpr unsigned ids_per_menu = 0x400;

    explicit CMenuBar(host_api& api) : api_(api) {}
    CMenuBar(const CMenuBar&) = delete;
    CMenuBar& operator=(const CMenuBar&) = delete;

    // Gives `window` a menu bar with the menus that have entries now (its old bar is destroyed).
    void attach(HWND window);
    // Fills `popup` anew when it is one of the bar's menus (WM_INITMENUPOPUP); false otherwise.
    bool fill(HMENU popup);
    // The command with `id` in the menu last filled, or null.
    const menu_node* command(unsigned id) const;
    // The description of the entry that WM_MENUSELECT reports (`item` and `flags` from its wparam):
    // a command's own; empty for sub-menus, separators and entries without one.
    std::string description(unsigned item, unsigned flags) const;
    // The name of the bar's menu at `position`, as the main menu names it.
    const std::vector<std::string>& menu_names() const { return names_; }

private:
    host_api& api_;
    HWND window_ = nullptr;
    std::vector<std::string> names_;
    menu_node model_;                                      // the main menu as last built
    std::vector<std::vector<const menu_node*>> commands_;  // per menu of the bar, into model_
};

// The same for a menu whose commands have the ids base, base + 1, ... (a context menu).
std::string menu_select_description(const std::vector<const menu_node*>& commands, unsigned base, unsigned item,
                                    unsigned flags);

}  // namespace minihost
