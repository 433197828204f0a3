// The host's main menu: the menu bar of its main window, built from groups and commands that the
// host and the components register. The command line lists and runs the same menu.
//
// Every operation here is called on the host's user-interface thread. Texts go out whole into the
// caller's string objects.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/service.h"
#include "zorb/string.h"

// The host's top-level groups, the menus of its menu bar (their parent is the all-zero GUID).
constexpr GUID mainmenu_groups_file = {0x3D6902EF, 0xA9E5, 0x4FA7, {0x8F, 0x02, 0x89, 0x8A, 0x93, 0x7C, 0xF3, 0xD1}};
constexpr GUID mainmenu_groups_edit = {0x50F6F625, 0x23F7, 0x4327, {0x8A, 0x76, 0x8C, 0xF7, 0x2D, 0x64, 0xEE, 0x4D}};
constexpr GUID mainmenu_groups_view = {0x216C239B, 0xAFD6, 0x444D, {0x89, 0xDA, 0x76, 0x42, 0x57, 0x8A, 0x51, 0xA6}};
constexpr GUID mainmenu_groups_playback = {
    0x6F954454, 0x5C7A, 0x49D3, {0x98, 0xF8, 0x89, 0x4C, 0x8B, 0xC5, 0x8F, 0x5C}};
constexpr GUID mainmenu_groups_library = {0xBA1D26C3, 0xA615, 0x4D21, {0x8B, 0x5D, 0xDB, 0x79, 0xA7, 0xB9, 0x49, 0x81}};
constexpr GUID mainmenu_groups_tools = {0x8F487F1F, 0x419F, 0x47A7, {0x8E, 0xCF, 0xEC, 0x44, 0xAF, 0x44, 0x49, 0xA3}};
constexpr GUID mainmenu_groups_help = {0x5453E4CF, 0x4FF3, 0x4016, {0x96, 0xAD, 0xA1, 0xDB, 0x06, 0x0C, 0x03, 0x5D}};

// Display flags of a command or node, asked anew each time a menu opens.
constexpr uint32_t mainmenu_flag_disabled = 1;  // shown greyed, cannot be chosen
constexpr uint32_t mainmenu_flag_checked = 2;   // shown ticked

// A group of the main menu: a section inline in its parent (separated from its neighbours), or a
// sub-menu when the service is a mainmenu_group_popup. Groups and commands of one parent are
// ordered by sort priority, lower first; equal priorities keep the order in which the services
// were created. A group with nothing in it is left out. Raises nothing.
class mainmenu_group : public service_base {
public:
    static constexpr GUID class_guid = {0xE6F39CF9, 0x2637, 0x4F2F, {0xA6, 0x36, 0x95, 0x66, 0x69, 0x32, 0x7B, 0xB5}};
    using parent_t = service_base;

    virtual GUID get_guid() = 0;
    // The group this one sits in; the all-zero GUID for a menu of the menu bar.
    virtual GUID get_parent() = 0;
    virtual uint32_t get_sort_priority() = 0;
};

// A group shown as a sub-menu under its name; published under mainmenu_group.
class mainmenu_group_popup : public mainmenu_group {
public:
    static constexpr GUID class_guid = {0xDDAD7D16, 0x0577, 0x49DE, {0xA0, 0xAC, 0x02, 0x71, 0x9B, 0xCC, 0xA8, 0x1C}};
    using parent_t = mainmenu_group;
    using service_class_t = mainmenu_group;

    virtual void get_display_string(zorb::string_base& out) = 0;
};

// One node of a dynamic command's menu: a group (a sub-menu), a command or a separator. The tree is
// made anew for each request and released by the host.
class mainmenu_node : public service_base {
public:
    static constexpr GUID class_guid = {0x289748D3, 0x841A, 0x4761, {0xBA, 0x92, 0x40, 0xDE, 0x0E, 0x19, 0x6D, 0xA7}};
    using parent_t = service_base;

    enum node_type : uint32_t { type_group = 0, type_command = 1, type_separator = 2 };

    virtual uint32_t get_type() = 0;
    // The text shown and the mainmenu_flag_* bits. Raises nothing.
    virtual void get_display(zorb::string_base& text, uint32_t& flags) = 0;
    // A group's children, in menu order; 0 for the other types. Raises nothing.
    virtual size_t get_children_count() = 0;
    // The child at `index`, with one reference owned by the caller. Raises
    // zorb::exception_invalid_params for a node that is no group or an index past the count.
    virtual service_ptr_t<mainmenu_node> get_child(size_t index) = 0;
    // A command's GUID; all zero for the other types. Raises nothing.
    virtual GUID get_guid() = 0;
    // A command's description: true, or false when it has none. Raises nothing.
    virtual bool get_description(zorb::string_base& out) = 0;
    // Runs a command; does nothing for the other types. `callback` as for mainmenu_commands.
    virtual void execute(service_ptr callback) = 0;
};

// A service with one or more commands of the main menu, by index below get_command_count. The host
// asks only for indexes below the count; a service may treat any other index as a programming
// error (uBugCheck).
class mainmenu_commands : public service_base {
public:
    static constexpr GUID class_guid = {0x66BAC8CA, 0x6D96, 0x4D95, {0xA4, 0xEE, 0x98, 0x8C, 0x6C, 0xDF, 0x50, 0x8C}};
    using parent_t = service_base;

    virtual uint32_t get_command_count() = 0;
    virtual GUID get_command(uint32_t index) = 0;
    // The command's name, as paths and key bindings name it.
    virtual void get_name(uint32_t index, zorb::string_base& out) = 0;
    // The command's description for a status line: true, or false when it has none.
    virtual bool get_description(uint32_t index, zorb::string_base& out) = 0;
    // The group the commands sit in.
    virtual GUID get_parent() = 0;
    virtual uint32_t get_sort_priority() = 0;
    // Whether the command is shown: true with its text and mainmenu_flag_* bits, false to hide it.
    virtual bool get_display(uint32_t index, zorb::string_base& text, uint32_t& flags) = 0;
    // Runs the command. `callback` is the host's object for commands that report back through it;
    // it may be empty. Raises what the command meets; the host shows it as an error.
    virtual void execute(uint32_t index, service_ptr callback) = 0;
};

// Main-menu commands that may be dynamic: in place of a dynamic command the host shows the node
// tree the command makes on request. Published under mainmenu_commands.
class mainmenu_commands_v2 : public mainmenu_commands {
public:
    static constexpr GUID class_guid = {0x1B2D2083, 0x5698, 0x4871, {0x9A, 0x83, 0x46, 0x77, 0x6B, 0x04, 0xFD, 0xCB}};
    using parent_t = mainmenu_commands;
    using service_class_t = mainmenu_commands;

    virtual bool is_command_dynamic(uint32_t index) = 0;
    // A new node tree for the dynamic command `index`, with one reference owned by the caller.
    // Raises zorb::exception_invalid_params for a command that is not dynamic.
    virtual service_ptr_t<mainmenu_node> dynamic_instantiate(uint32_t index) = 0;
    // Runs the command node of the dynamic command `index` whose GUID is `subcommand`: true, or
    // false when its tree has no such node. Raises what the node raises.
    virtual bool dynamic_execute(uint32_t index, const GUID& subcommand, service_ptr callback) = 0;
};
