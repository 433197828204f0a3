#include "minihost/host/layout_menu.h"

#include "host/mainmenu.h"
#include "host/ui_element.h"

namespace minihost {
namespace {

const GUID element_subclasses[] = {
    ui_element_subclass_ids::playlist_renderers,
    ui_element_subclass_ids::media_library_viewers,
    ui_element_subclass_ids::selection_information,
    ui_element_subclass_ids::playback_visualisation,
    ui_element_subclass_ids::playback_information,
    ui_element_subclass_ids::utility,
    ui_element_subclass_ids::containers,
    ui_element_subclass_ids::dsp,
};

class layout_group : public mainmenu_group_popup {
public:
    layout_group(const GUID& guid, const GUID& parent, uint32_t priority, const char* name)
        : guid_(guid), parent_(parent), priority_(priority), name_(name) {}
    GUID get_guid() override { return guid_; }
    GUID get_parent() override { return parent_; }
    uint32_t get_sort_priority() override { return priority_; }
    void get_display_string(zorb::string_base& out) override { out.set_string(name_); }

private:
    GUID guid_, parent_;
    uint32_t priority_;
    const char* name_;
};

}  // namespace

std::vector<service_ptr> make_layout_menu_groups() {
    std::vector<service_ptr> groups;
    groups.emplace_back(new service_impl_t<layout_group>(layout_menu_guid, mainmenu_groups_view, 0, "Layout"));
    uint32_t priority = 0;
    for (const GUID& subclass : element_subclasses)
        groups.emplace_back(
            new service_impl_t<layout_group>(subclass, layout_menu_guid, priority++, ui_element_group_name(subclass)));
    return groups;
}

std::vector<GUID> layout_menu_guids() {
    std::vector<GUID> guids = {layout_menu_guid};
    guids.insert(guids.end(), std::begin(element_subclasses), std::end(element_subclasses));
    return guids;
}

GUID layout_menu_for(const GUID& subclass) {
    return ui_element_group_name(subclass) != nullptr ? subclass : layout_menu_guid;
}

}  // namespace minihost
