// The host's advanced-settings tree: the host's own branches with the component's branches and
// entries hung under them by their parent GUIDs.
#pragma once

#include <ostream>
#include <string>

#include "host/advconfig.h"
#include "host/host_api.h"

namespace minihost {

// The host's branch for the settings of components.
constexpr GUID advconfig_tools_branch = {0x35365484, 0xCC58, 0x4926, {0x97, 0xE1, 0x5E, 0x63, 0xF3, 0xAB, 0xB9, 0xE2}};
constexpr char advconfig_tools_branch_name[] = "Tools";

// Prints the tree, two blanks of indent per level, siblings by priority and then by name; an entry
// shown as text is followed by ": " and its value, a check box by ": on" or ": off". Items whose parent is nowhere in
// the tree are listed at the end under "(no branch {GUID})".
void print_advconfig_tree(host_api& api, std::ostream& out);

// Sets the entry named `name` (an entry's own name, or its path with the branch names, separated
// by "/") from `value` as the entry takes it (a check box: on, off, 1, 0, true, false, yes, no in
// any case), and prints the entry's line as list shows it. False with `error` set when no such
// entry holds a value, the name fits more than one, or a check box is given anything else.
bool set_advconfig_value(host_api& api, const std::string& name, const std::string& value, std::ostream& out,
                         std::string& error);

}  // namespace minihost
