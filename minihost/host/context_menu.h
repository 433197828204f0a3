// The host's context menu: built for a selection of tracks from the context-menu groups and items
// of the host and the components.
#pragma once

#include "host/contextmenu.h"
#include "host/host_api.h"
#include "minihost/host/menu_tree.h"

namespace minihost {

// The menu for `tracks` opened by `caller`: the items shown for that selection with their display
// texts and flags, inside their groups; running a command runs its item on `tracks`. An item whose
// display raises is left out. On the user-interface thread.
menu_node build_context_menu(host_api& api, const metadb_handle_list& tracks, const GUID& caller);

// The host's root group of the context menu (contextmenu_groups_root).
service_ptr make_context_root_group();

// Makes a new context-menu manager (contextmenu_manager) over `api` for each request.
service_ptr make_contextmenu_manager(host_api& api);

}  // namespace minihost
