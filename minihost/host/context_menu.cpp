#include "minihost/host/context_menu.h"

#include "host/service_lookup.h"

namespace minihost {
namespace {

class context_root_group : public contextmenu_group {
public:
    GUID get_guid() override { return contextmenu_groups_root; }
    GUID get_parent() override { return {}; }
    double get_sort_priority() override { return 0; }
};

menu_part group_part(contextmenu_group& group) {
    menu_part part;
    part.is_group = true;
    part.guid = group.get_guid();
    part.parent = group.get_parent();
    part.priority = group.get_sort_priority();
    zorb::string8 name;
    if (auto popup = service_ptr_t<contextmenu_group>(&group).query_as<contextmenu_group_popup>()) {
        part.popup = true;
        popup->get_display_string(name);
        part.text = name.str();
    }
    return part;
}

menu_part item_part(const service_ptr_t<contextmenu_item>& item, const metadb_handle_list& tracks, const GUID& caller) {
    menu_part part;
    part.parent = item->get_parent();
    part.priority = item->get_sort_priority();
    for (unsigned index = 0; index < item->get_num_items(); ++index) {
        zorb::string8 text, name, description;
        unsigned flags = 0;
        try {
            if (!item->item_get_display_data(text, flags, index, tracks, caller)) continue;
        } catch (const std::exception&) {
            continue;
        }
        item->get_item_name(index, name);
        menu_node entry;
        entry.text = text.str();
        entry.name = name.str();
        if (item->get_item_description(index, description)) entry.description = description.str();
        entry.flags = flags & (contextmenu_flag_disabled | contextmenu_flag_checked);
        entry.run = [item, index, tracks, caller] { item->item_execute_simple(index, GUID{}, tracks, caller); };
        part.entries.push_back(std::move(entry));
    }
    return part;
}

class contextmenu_manager_impl : public contextmenu_manager {
public:
    explicit contextmenu_manager_impl(host_api& api) : api_(api) {}

    void init_context(const metadb_handle_list& data, unsigned flags) override {
        menu_ = build_context_menu(
            api_, data, flags & flag_now_playing ? contextmenu_caller_now_playing : contextmenu_caller_undefined);
        commands_ = menu_commands_in_order(menu_);
    }
    void win32_build_menu(void* menu, unsigned base_id, unsigned max_id) override {
        build_win32_menu(menu, menu_, base_id, max_id);
    }
    bool execute_by_id(unsigned id) override {
        if (id >= commands_.size()) return false;
        run_menu_command(*commands_[id], commands_[id]->name);
        return true;
    }
    bool get_description_by_id(unsigned id, zorb::string_base& out) override {
        if (id >= commands_.size() || commands_[id]->description.empty()) return false;
        out.set_string(commands_[id]->description.c_str());
        return true;
    }

private:
    host_api& api_;
    menu_node menu_ = menu_entry(menu_node::popup);
    std::vector<const menu_node*> commands_;
};

}  // namespace

menu_node build_context_menu(host_api& api, const metadb_handle_list& tracks, const GUID& caller) {
    // The host lists a component's services in reverse creation order; the menu keeps their
    // creation order among equal priorities.
    std::vector<menu_part> parts;
    for (size_t index = service_count_t<contextmenu_group>(api); index-- > 0;)
        if (auto group = service_create_at_t<contextmenu_group>(api, index)) parts.push_back(group_part(*group));
    for (size_t index = service_count_t<contextmenu_item>(api); index-- > 0;)
        if (auto item = service_create_at_t<contextmenu_item>(api, index))
            parts.push_back(item_part(item, tracks, caller));
    menu_node root = menu_entry(menu_node::popup);
    root.children = arrange_menu(parts, contextmenu_groups_root);
    return root;
}

service_ptr make_context_root_group() { return service_ptr(new service_impl_t<context_root_group>()); }

service_ptr make_contextmenu_manager(host_api& api) {
    return service_ptr(new service_impl_t<contextmenu_manager_impl>(api));
}

}  // namespace minihost
