#include "minihost/host/main_menu.h"

#include <optional>

#include "host/service_lookup.h"
#include "zorb/exception.h"

namespace minihost {
namespace {

class host_menu_group : public mainmenu_group_popup {
public:
    host_menu_group(const GUID& guid, uint32_t priority, const char* name)
        : guid_(guid), priority_(priority), name_(name) {}
    GUID get_guid() override { return guid_; }
    GUID get_parent() override { return {}; }
    uint32_t get_sort_priority() override { return priority_; }
    void get_display_string(zorb::string_base& out) override { out.set_string(name_); }

private:
    GUID guid_;
    uint32_t priority_;
    const char* name_;
};

struct host_menu {
    const GUID& guid;
    const char* name;
};

const host_menu host_menus[] = {
    {mainmenu_groups_file, "File"},         {mainmenu_groups_edit, "Edit"},       {mainmenu_groups_view, "View"},
    {mainmenu_groups_playback, "Playback"}, {mainmenu_groups_library, "Library"}, {mainmenu_groups_tools, "Tools"},
    {mainmenu_groups_help, "Help"},
};

menu_part group_part(mainmenu_group& group) {
    menu_part part;
    part.is_group = true;
    part.guid = group.get_guid();
    part.parent = group.get_parent();
    part.priority = group.get_sort_priority();
    if (auto popup = service_ptr_t<mainmenu_group>(&group).query_as<mainmenu_group_popup>()) {
        zorb::string8 name;
        popup->get_display_string(name);
        part.popup = true;
        part.text = name.str();
    }
    return part;
}

// A node of a dynamic command's tree as a menu entry; `execute` runs a command node by its GUID.
menu_node node_entry(mainmenu_node& node, const std::function<void(const GUID&)>& execute) {
    menu_node entry;
    zorb::string8 text, description;
    uint32_t flags = 0;
    node.get_display(text, flags);
    entry.text = entry.name = text.str();
    entry.flags = flags & (mainmenu_flag_disabled | mainmenu_flag_checked);
    switch (node.get_type()) {
        case mainmenu_node::type_group:
            entry.kind = menu_node::popup;
            for (size_t i = 0; i < node.get_children_count(); ++i)
                entry.children.push_back(node_entry(*node.get_child(i), execute));
            tidy_separators(entry.children);
            break;
        case mainmenu_node::type_command:
            if (node.get_description(description)) entry.description = description.str();
            entry.run = [execute, guid = node.get_guid()] { execute(guid); };
            break;
        default:
            entry.kind = menu_node::separator;
            break;
    }
    return entry;
}

// The entry of command `index`; none when the command is hidden.
std::optional<menu_node> command_entry(const service_ptr_t<mainmenu_commands>& commands, uint32_t index) {
    menu_node entry;
    zorb::string8 text, name, description;
    uint32_t flags = 0;
    commands->get_name(index, name);
    entry.name = name.str();
    if (commands->get_description(index, description)) entry.description = description.str();
    auto dynamic = commands.query_as<mainmenu_commands_v2>();
    if (dynamic && dynamic->is_command_dynamic(index)) {
        try {
            const auto execute = [dynamic, index](const GUID& node) {
                if (!dynamic->dynamic_execute(index, node, {}))
                    throw zorb::exception("The command is no longer in its menu");
            };
            return node_entry(*dynamic->dynamic_instantiate(index), execute);
        } catch (const std::exception&) {
            entry.text = entry.name;
            entry.flags = mainmenu_flag_disabled;
            return entry;
        }
    }
    if (!commands->get_display(index, text, flags)) return std::nullopt;
    entry.text = text.str();
    entry.flags = flags & (mainmenu_flag_disabled | mainmenu_flag_checked);
    entry.run = [commands, index] { commands->execute(index, {}); };
    return entry;
}

menu_part commands_part(const service_ptr_t<mainmenu_commands>& commands) {
    menu_part part;
    part.parent = commands->get_parent();
    part.priority = commands->get_sort_priority();
    for (uint32_t index = 0; index < commands->get_command_count(); ++index) {
        try {
            if (std::optional<menu_node> entry = command_entry(commands, index))
                part.entries.push_back(std::move(*entry));
        } catch (const std::exception&) {
        }
    }
    return part;
}

}  // namespace

menu_node build_main_menu(host_api& api) {
    // The host lists a component's services in reverse creation order; the menu keeps their
    // creation order among equal priorities.
    std::vector<menu_part> parts;
    for (size_t index = service_count_t<mainmenu_group>(api); index-- > 0;)
        if (auto group = service_create_at_t<mainmenu_group>(api, index)) parts.push_back(group_part(*group));
    for (size_t index = service_count_t<mainmenu_commands>(api); index-- > 0;)
        if (auto commands = service_create_at_t<mainmenu_commands>(api, index))
            parts.push_back(commands_part(commands));
    menu_node root = menu_entry(menu_node::popup);
    root.children = arrange_menu(parts, GUID{});
    return root;
}

std::vector<service_ptr> make_main_menu_groups() {
    std::vector<service_ptr> groups;
    uint32_t priority = 0;
    for (const host_menu& menu : host_menus)
        groups.emplace_back(new service_impl_t<host_menu_group>(menu.guid, priority++, menu.name));
    return groups;
}

std::vector<GUID> host_menu_guids() {
    std::vector<GUID> guids;
    for (const host_menu& menu : host_menus) guids.push_back(menu.guid);
    return guids;
}

}  // namespace minihost
