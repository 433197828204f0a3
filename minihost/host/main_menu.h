// The host's main menu: its own menus of the menu bar, and the tree built from the main-menu groups
// and commands of the host and the components.
//
// The host's menus, by sort priority: File, Edit, View, Playback, Library, Tools, Help
// (mainmenu_groups_*; Tools is {8F487F1F-419F-47A7-8ECF-EC44AF4449A3}, where the components'
// sample commands go). A menu with nothing in it is left out.
#pragma once

#include <vector>

#include "host/host_api.h"
#include "host/mainmenu.h"
#include "minihost/host/menu_tree.h"

namespace minihost {

// The whole menu bar, with every command's display text and flags asked anew; a dynamic command
// appears as the tree of nodes it makes (its group node as a sub-menu). Running a command executes
// it; running a dynamic node asks its command to execute the node by its GUID. A command whose
// display raises is left out; a dynamic command whose tree cannot be made shows as a disabled entry
// under its name. On the user-interface thread.
menu_node build_main_menu(host_api& api);

// The host's own groups of the menu bar, one service each.
std::vector<service_ptr> make_main_menu_groups();
// Their GUIDs, in menu-bar order.
std::vector<GUID> host_menu_guids();

}  // namespace minihost
