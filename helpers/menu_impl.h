// What the component's menu services build on: popup groups of the context and main menus made
// from their fixed values, and simple context-menu commands.
#pragma once

#include <string>

#include "host/contextmenu.h"
#include "host/mainmenu.h"

class contextmenu_group_popup_impl : public contextmenu_group_popup {
public:
    contextmenu_group_popup_impl(const GUID& guid, const GUID& parent, const char* name, double priority)
        : guid_(guid), parent_(parent), name_(name), priority_(priority) {}

    GUID get_guid() override { return guid_; }
    GUID get_parent() override { return parent_; }
    double get_sort_priority() override { return priority_; }
    void get_display_string(zorb::string_base& out) override { out.set_string(name_.c_str(), name_.size()); }

private:
    GUID guid_;
    GUID parent_;
    std::string name_;
    double priority_;
};

// Registers a popup group at static initialisation: (GUID, parent GUID, name, sort priority).
using contextmenu_group_popup_factory = service_factory_single_t<contextmenu_group_popup_impl>;

class mainmenu_group_popup_impl : public mainmenu_group_popup {
public:
    mainmenu_group_popup_impl(const GUID& guid, const GUID& parent, uint32_t priority, const char* name)
        : guid_(guid), parent_(parent), priority_(priority), name_(name) {}

    GUID get_guid() override { return guid_; }
    GUID get_parent() override { return parent_; }
    uint32_t get_sort_priority() override { return priority_; }
    void get_display_string(zorb::string_base& out) override { out.set_string(name_.c_str(), name_.size()); }

private:
    GUID guid_;
    GUID parent_;
    uint32_t priority_;
    std::string name_;
};

// Registers a popup group at static initialisation: (GUID, parent GUID, sort priority, name).
using mainmenu_group_popup_factory = service_factory_single_t<mainmenu_group_popup_impl>;

// Context-menu commands that are each one plain command: shown under their name unless
// context_get_display says otherwise, run only when the request is for the command itself.
class contextmenu_item_simple : public contextmenu_item {
public:
    double get_sort_priority() override { return 0; }

    bool item_get_display_data(zorb::string_base& out, unsigned& flags, unsigned index, const metadb_handle_list& data,
                               const GUID& caller) final {
        flags = 0;
        return context_get_display(index, data, out, flags, caller);
    }
    void item_execute_simple(unsigned index, const GUID& node, const metadb_handle_list& data,
                             const GUID& caller) final {
        if (node != GUID{}) return;
        context_command(index, data, caller);
    }

protected:
    // Whether and how command `index` is shown for `data`: by default always, under its name.
    virtual bool context_get_display(unsigned index, const metadb_handle_list& data, zorb::string_base& out,
                                     unsigned& flags, const GUID& caller) {
        (void)data, (void)flags, (void)caller;
        get_item_name(index, out);
        return true;
    }
    virtual void context_command(unsigned index, const metadb_handle_list& data, const GUID& caller) = 0;
};
