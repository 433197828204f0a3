// A menu as the host shows it, built afresh from the services each time it opens: the context menu
// for a selection and the main menu come out as the same tree, which the command line prints and
// searches and a window turns into a Win32 menu.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "host/guid.h"

namespace minihost {

// Display flags, the same bits for both menus.
constexpr uint32_t menu_flag_disabled = 1;
constexpr uint32_t menu_flag_checked = 2;

struct menu_node {
    enum kind_t { popup, command, separator };

    kind_t kind = command;
    std::string text;                 // what the menu shows
    std::string name;                 // what a path names it by: a command's own name, a popup's text
    std::string description;          // empty when it has none
    uint32_t flags = 0;               // menu_flag_* bits
    std::vector<menu_node> children;  // a popup's entries, in menu order
    std::function<void()> run;        // a command's action; raises what the command raises
};

inline menu_node menu_entry(menu_node::kind_t kind) {
    menu_node entry;
    entry.kind = kind;
    return entry;
}

// One group, or the entries of one command service, as the menu builders gather them from the
// services before arranging them into a tree.
struct menu_part {
    GUID parent{};        // the group it sits in
    double priority = 0;  // lower first
    bool is_group = false;
    GUID guid{};                     // a group's own
    bool popup = false;              // a group shown as a sub-menu (else a section inline)
    std::string text;                // a popup group's name
    std::vector<menu_node> entries;  // a command service's entries, in their order
};

// The tree below the group `top`: the parts whose parent it is, ordered by priority (equal
// priorities keep the order of `parts`), each group filled from the parts below it. A group with
// nothing in it is left out; a section is set off from its neighbours by separators. A part whose
// group is not there (or lies in a loop of groups) is left out.
std::vector<menu_node> arrange_menu(const std::vector<menu_part>& parts, const GUID& top);

// Drops separators at either end of `entries` and every second one of two in a row.
void tidy_separators(std::vector<menu_node>& entries);

// The tree below `root`, one entry per line, indented by two blanks per level; a separator as
// "----", a ticked entry followed by " [ticked]", a disabled one by " [disabled]".
void print_menu_tree(const menu_node& root, std::ostream& out);

// The command that `path` names: entries' names (or texts) joined by "/", starting at any level of
// the tree (a name may itself hold a "/"). Raises zorb::exception saying that no `what` is named so,
// that the path names several (listing them), or that it names a sub-menu.
const menu_node& find_menu_command(const menu_node& root, std::string_view path, std::string_view what);

// Runs `command`. Raises zorb::exception when it is disabled, otherwise what the command raises.
void run_menu_command(const menu_node& command, std::string_view path);

// The commands of the tree in menu order (depth first): command n of a menu built from the tree.
std::vector<const menu_node*> menu_commands_in_order(const menu_node& root);

// Appends the entries of `root` to the Win32 menu `menu` (an HMENU), command n with the id
// base_id + n; commands whose id would exceed `max_id` are left out. Raises exception_win32 when the
// system refuses; a build without windows raises zorb::exception_not_implemented.
void build_win32_menu(void* menu, const menu_node& root, unsigned base_id, unsigned max_id);

}  // namespace minihost
