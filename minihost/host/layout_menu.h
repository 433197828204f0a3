// View > Layout: the menu of the element area, one sub-menu per group of elements. The groups are
// the host's main-menu groups; the element area adds its commands to them (host_commands) while it
// exists. An element's group menu is named by its subclass (ui_element_group_name) and has the
// subclass's GUID; elements without a group sit in Layout itself.
#pragma once

#include <vector>

#include "host/guid.h"
#include "host/service.h"

namespace minihost {

constexpr GUID layout_menu_guid = {0x5C1D0F3E, 0x2B7A, 0x4E19, {0x8F, 0x61, 0x93, 0xD4, 0x0A, 0xC2, 0x57, 0x3B}};

// The group services: Layout under View, and one popup per element group under it.
std::vector<service_ptr> make_layout_menu_groups();
// The GUIDs of the menus that hold layout commands: Layout and every group.
std::vector<GUID> layout_menu_guids();
// The menu of an element of `subclass`: its group's, or Layout for a subclass without a group.
GUID layout_menu_for(const GUID& subclass);

}  // namespace minihost
