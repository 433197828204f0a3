// The host's own commands of the menu bar (File > Open..., Edit > Select all, ...): each sits in
// one of the host's menus, and the session that can carry it out (the main window) adds it while
// it runs. On the command line there are none, so the host's menus stay empty and hidden there.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/guid.h"
#include "host/service.h"

namespace minihost {

struct host_command {
    GUID menu{};                      // the host menu it sits in (mainmenu_groups_*)
    GUID guid{};                      // its own
    std::string name;                 // shown, and naming it in a path
    std::string description;          // for the status bar
    std::function<void()> run;        // raises what it meets
    std::function<uint32_t()> flags;  // mainmenu_flag_* bits, asked each time the menu opens; empty: 0
};

// One thread: the host's user-interface thread.
class host_command_list {
public:
    host_command_list() = default;
    host_command_list(const host_command_list&) = delete;
    host_command_list& operator=(const host_command_list&) = delete;

    // Adds `command` after those of its menu; the id that removes it again.
    size_t add(host_command command);
    void remove(size_t id);

    // The mainmenu_commands service that lists, in the order added, the commands in `menu`.
    service_ptr service_for(const GUID& menu);

    // The commands in `menu`, in the order added.
    std::vector<const host_command*> in_menu(const GUID& menu) const;

private:
    std::vector<std::pair<size_t, host_command>> commands_;
    size_t next_id_ = 1;
};

}  // namespace minihost
