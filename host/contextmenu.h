// The host's context menu: the menu it opens on a selection of tracks, built from groups and items
// that the host and the components register, and the manager through which a component shows it.
//
// Every operation here is called on the host's user-interface thread. Texts go out whole into the
// caller's string objects. Track lists are the caller's, lent for the call.
#pragma once

#include <cstdint>

#include "host/metadb.h"
#include "host/service.h"
#include "zorb/string.h"

// The host's root group: groups and items whose parent it is sit at the menu's top level.
constexpr GUID contextmenu_groups_root = {0xE6E7DC71, 0x114B, 0x4848, {0x92, 0x8C, 0x2A, 0xDC, 0x3F, 0x86, 0xBE, 0xB4}};

// Who opens a context menu, as items are told when they are displayed and run.
constexpr GUID contextmenu_caller_undefined = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
constexpr GUID contextmenu_caller_playlist = {
    0xBC72F5B0, 0x4220, 0x4E2E, {0x8D, 0x3D, 0xA4, 0xE2, 0xE5, 0xED, 0x94, 0x11}};
constexpr GUID contextmenu_caller_now_playing = {
    0x4DDC4A04, 0xE45E, 0x4317, {0xBC, 0xBF, 0xB5, 0x02, 0xEA, 0xCF, 0x60, 0x63}};
constexpr GUID contextmenu_caller_command_line = {
    0x51F438C0, 0x0BD8, 0x4359, {0xBC, 0xDB, 0xF7, 0x49, 0x55, 0x22, 0xC8, 0x5F}};

// Display flags of an item.
constexpr unsigned contextmenu_flag_disabled = 1;  // shown greyed, cannot be chosen
constexpr unsigned contextmenu_flag_checked = 2;   // shown ticked

// A group of the menu: a section inline in its parent (separated from its neighbours), or a
// sub-menu when the service is a contextmenu_group_popup. Groups and items of one parent are
// ordered by sort priority, lower first; equal priorities keep the order in which the services
// were created. A group with nothing shown in it is left out. Raises nothing.
class contextmenu_group : public service_base {
public:
    static constexpr GUID class_guid = {0xFED2207D, 0x1A71, 0x486D, {0xA1, 0xD0, 0x70, 0x85, 0x2B, 0xF1, 0xBD, 0x42}};
    using parent_t = service_base;

    virtual GUID get_guid() = 0;
    // The group this one sits in: contextmenu_groups_root or another group's GUID.
    virtual GUID get_parent() = 0;
    virtual double get_sort_priority() = 0;
};

// A group shown as a sub-menu under its name; published under contextmenu_group.
class contextmenu_group_popup : public contextmenu_group {
public:
    static constexpr GUID class_guid = {0x10D0C20F, 0x662C, 0x4FDA, {0xBF, 0xF3, 0x1C, 0xCA, 0x7A, 0x61, 0xA2, 0x14}};
    using parent_t = contextmenu_group;
    using service_class_t = contextmenu_group;

    virtual void get_display_string(zorb::string_base& out) = 0;
};

// A service with one or more commands of the context menu, by index below get_num_items. The host
// asks only for indexes below the count; a service may treat any other index as a programming
// error (uBugCheck).
class contextmenu_item : public service_base {
public:
    static constexpr GUID class_guid = {0x56A52065, 0xD5CE, 0x4332, {0x8B, 0x84, 0xB2, 0x89, 0x8D, 0x6A, 0x03, 0xA0}};
    using parent_t = service_base;

    virtual unsigned get_num_items() = 0;
    // The command's name, as paths and key bindings name it. Raises nothing.
    virtual void get_item_name(unsigned index, zorb::string_base& out) = 0;
    virtual GUID get_item_guid(unsigned index) = 0;
    // The command's description for a status line: true, or false when it has none.
    virtual bool get_item_description(unsigned index, zorb::string_base& out) = 0;
    // The group the commands sit in.
    virtual GUID get_parent() = 0;
    virtual double get_sort_priority() = 0;
    // Whether the command is shown for the tracks `data`: true with its text and
    // contextmenu_flag_* bits in `flags`, false to hide it. Asked anew each time the menu is built.
    // Raises nothing.
    virtual bool item_get_display_data(zorb::string_base& out, unsigned& flags, unsigned index,
                                       const metadb_handle_list& data, const GUID& caller) = 0;
    // Runs the command on `data`. `node` names the part of the command the request is for: the
    // all-zero GUID for the command itself. Raises what the command meets; the host shows it as an
    // error.
    virtual void item_execute_simple(unsigned index, const GUID& node, const metadb_handle_list& data,
                                     const GUID& caller) = 0;
};

// The context menu for a list of tracks, as a component shows it in a menu of its own. Every
// lookup creates a new manager; it holds the menu it was initialised with until it is released.
class contextmenu_manager : public service_base {
public:
    static constexpr GUID class_guid = {0xD3BD5F53, 0xA6D6, 0x4346, {0x99, 0x1F, 0xCF, 0x14, 0xDF, 0xAD, 0x2B, 0x3A}};
    using parent_t = service_base;

    // Flags of init_context.
    static constexpr unsigned flag_now_playing = 1;  // the tracks are the playing one: items hear caller now playing

    // Builds the menu for `data`: the groups and items shown for those tracks, numbered from 0 in
    // menu order. Raises nothing; an item whose display raises is left out.
    virtual void init_context(const metadb_handle_list& data, unsigned flags) = 0;
    // Appends the menu to the Win32 menu `menu` (an HMENU): command n gets the id base_id + n,
    // commands whose id would exceed max_id are left out. Raises exception_win32 when the system
    // refuses a menu; a build without windows raises zorb::exception_not_implemented.
    virtual void win32_build_menu(void* menu, unsigned base_id, unsigned max_id) = 0;
    // Runs command n (its id less the base): true, or false when there is no such command. Raises
    // what the command raises.
    virtual bool execute_by_id(unsigned id) = 0;
    // The description of command n: true, or false when there is no such command or it has none.
    virtual bool get_description_by_id(unsigned id, zorb::string_base& out) = 0;
};
