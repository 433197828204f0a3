// Layout elements: panels that a component publishes and the host places in its window layouts.
// Everything here runs on the thread that owns the host's layout windows unless it says otherwise.
#pragma once

#include <cstdint>
#include <vector>

#include "host/guid.h"
#include "host/host_api.h"
#include "host/service.h"
#include "zorb/string.h"

// An element's configuration as the host keeps it in its layout: the element's GUID and the bytes
// the element wrote. A value, header-only, so both sides build the same class.
class ui_element_config {
public:
    ui_element_config() = default;
    ui_element_config(const GUID& element, std::vector<uint8_t> data) : element_(element), data_(std::move(data)) {}

    const GUID& get_guid() const { return element_; }
    const uint8_t* get_data() const { return data_.data(); }
    size_t get_data_size() const { return data_.size(); }
    const std::vector<uint8_t>& bytes() const { return data_; }

private:
    GUID element_ = {};
    std::vector<uint8_t> data_;
};

// Size limits in pixels of an element's window, frame included.
struct ui_element_min_max_info {
    static constexpr uint32_t unlimited = 0xFFFFFFFF;
    uint32_t min_width = 0;
    uint32_t max_width = unlimited;
    uint32_t min_height = 0;
    uint32_t max_height = unlimited;
};

// The host's colours and font, by GUID.
namespace ui_color_ids {
constexpr GUID text = {0x5DD38BE7, 0xFF8A, 0x416F, {0x88, 0x2D, 0xA4, 0x8E, 0x31, 0x87, 0x85, 0xB2}};
constexpr GUID background = {0x16FC40C1, 0x1CBA, 0x4385, {0x93, 0x3B, 0xE9, 0x32, 0x7F, 0x6E, 0x35, 0x1F}};
constexpr GUID highlight = {0xD2F98042, 0x3E6A, 0x423A, {0xB8, 0x66, 0x65, 0x01, 0xFE, 0xA9, 0x75, 0x93}};
constexpr GUID selection = {0xEBE1A36B, 0x7E0A, 0x469A, {0x8E, 0xC5, 0xCF, 0x03, 0x12, 0x90, 0x40, 0xB5}};
}  // namespace ui_color_ids
namespace ui_font_ids {
constexpr GUID default_font = {0x9EF02CEF, 0xE58A, 0x4F99, {0x9F, 0xE3, 0x85, 0x39, 0x0B, 0xED, 0xC5, 0xE0}};
}  // namespace ui_font_ids

// What the host tells an instance through notify.
namespace ui_element_notify_ids {
constexpr GUID colors_changed = {0xEEDDA994, 0xE3D2, 0x441A, {0xBE, 0x47, 0xA1, 0x63, 0x5B, 0x71, 0xAB, 0x60}};
constexpr GUID font_changed = {0x7A6964A8, 0xC797, 0x4737, {0x90, 0x55, 0x7D, 0x84, 0xE7, 0x3D, 0x63, 0x6E}};
// param 1 shown, 0 hidden.
constexpr GUID visibility_changed = {0x313C22B9, 0x287A, 0x4804, {0x8E, 0x6C, 0xFF, 0xEF, 0x04, 0x10, 0xCD, 0xEA}};
}  // namespace ui_element_notify_ids

// Subclasses: the groups the host sorts elements into.
namespace ui_element_subclass_ids {
constexpr GUID playlist_renderers = {0x3C4C68A0, 0x0FC5, 0x400A, {0xA3, 0x4A, 0x2E, 0x3A, 0xAE, 0x6E, 0x90, 0x76}};
constexpr GUID media_library_viewers = {0x58455355, 0x289D, 0x459C, {0x8F, 0x8A, 0xE1, 0x49, 0x06, 0xFC, 0x14, 0x56}};
constexpr GUID selection_information = {0x68084E43, 0x7359, 0x46A5, {0xB6, 0x84, 0x3C, 0xD7, 0x57, 0xF6, 0xDE, 0xFD}};
constexpr GUID playback_visualisation = {0x1F3C62F2, 0x8BB5, 0x4700, {0x9E, 0x82, 0x8C, 0x48, 0x22, 0xF0, 0x18, 0x35}};
constexpr GUID playback_information = {0x84859F2D, 0xBB9C, 0x4E70, {0x9D, 0x04, 0x14, 0x71, 0xB5, 0x63, 0x1F, 0x7F}};
constexpr GUID utility = {0xFFA4F4FC, 0xC169, 0x4766, {0x9C, 0x94, 0xFA, 0xEF, 0xAE, 0xB2, 0x7E, 0x0F}};
constexpr GUID containers = {0x72DC5954, 0x1F26, 0x41BE, {0xAE, 0xF2, 0x92, 0x9D, 0x25, 0xB5, 0x8D, 0xCF}};
constexpr GUID dsp = {0xA6A93251, 0xF0F8, 0x4BED, {0xB9, 0x5A, 0xF9, 0x0E, 0x7E, 0x4F, 0xF2, 0xD0}};
}  // namespace ui_element_subclass_ids

// The group name of a subclass ("Utility"); null for a subclass without a group.
inline const char* ui_element_group_name(const GUID& subclass) {
    struct group {
        GUID subclass;
        const char* name;
    };
    static const group groups[] = {
        {ui_element_subclass_ids::playlist_renderers, "Playlist Renderers"},
        {ui_element_subclass_ids::media_library_viewers, "Media Library Viewers"},
        {ui_element_subclass_ids::selection_information, "Selection Information"},
        {ui_element_subclass_ids::playback_visualisation, "Playback Visualization"},
        {ui_element_subclass_ids::playback_information, "Playback Information"},
        {ui_element_subclass_ids::utility, "Utility"},
        {ui_element_subclass_ids::containers, "Containers"},
        {ui_element_subclass_ids::dsp, "DSP"},
    };
    for (const group& each : groups)
        if (each.subclass == subclass) return each.name;
    return nullptr;
}

class ui_element_instance;

// The host's side of one placed element, handed to the element when the host makes the instance.
class ui_element_instance_callback : public service_base {
public:
    static constexpr GUID class_guid = {0x53EF5E68, 0x0777, 0x4585, {0xAA, 0x1E, 0x40, 0x72, 0x01, 0x90, 0x1A, 0xB1}};
    using parent_t = service_base;

    // The host's colour `what` (ui_color_ids) as a COLORREF: true, or false when the host has none.
    virtual bool query_color(const GUID& what, uint32_t& out) = 0;
    // The host's font `what` (an HFONT, the host's: valid until it sends font_changed); null for none.
    virtual void* query_font(const GUID& what) = 0;
    // Asks the host to show `instance` (make its part of the layout visible): true when it is shown.
    virtual bool request_activation(ui_element_instance* instance) = 0;
    // The instance was clicked; what follows is the host's.
    virtual void element_clicked(ui_element_instance* instance) = 0;
    // The instance's size limits changed: the host asks for them again.
    virtual void limits_changed(ui_element_instance* instance) = 0;
};

// One placed element. Raises nothing unless it says so.
class ui_element_instance : public service_base {
public:
    static constexpr GUID class_guid = {0x6A1E5C9B, 0x3F27, 0x4E0D, {0x9B, 0x55, 0x1C, 0x84, 0x7D, 0x2A, 0xE6, 0x13}};
    using parent_t = service_base;

    // Its window (an HWND), a child of the parent it was made in, alive as long as the instance.
    virtual host_window get_wnd() = 0;
    virtual void set_configuration(const ui_element_config& config) = 0;
    virtual ui_element_config get_configuration() = 0;
    virtual GUID get_guid() = 0;
    virtual GUID get_subclass() = 0;
    // A change the host announces (ui_element_notify_ids); `data` lent for the call.
    virtual void notify(const GUID& what, size_t param, const void* data, size_t size) = 0;
    // Gives the keyboard focus to the element.
    virtual void set_default_focus() = 0;
    virtual ui_element_min_max_info get_min_max_info() = 0;
};

// The service class of elements: one singleton per element kind.
class ui_element : public service_base {
public:
    static constexpr GUID class_guid = {0xB2D5A7E1, 0x4C38, 0x4F6A, {0x8D, 0x0B, 0x5E, 0x91, 0x27, 0xC3, 0x64, 0xAF}};
    using parent_t = service_base;

    virtual GUID get_guid() = 0;
    virtual GUID get_subclass() = 0;
    virtual void get_name(zorb::string_base& out) = 0;
    // Makes an instance: its window a child of `parent` (an HWND), configured by `config`. Raises
    // exception_win32 when the window cannot be made.
    virtual service_ptr_t<ui_element_instance> instantiate(host_window parent, const ui_element_config& config,
                                                           service_ptr_t<ui_element_instance_callback> callback) = 0;
    virtual ui_element_config get_default_configuration() = 0;
    // True with the description in `out`, false for none.
    virtual bool get_description(zorb::string_base& out) = 0;
};

// Elements that have a group, a menu command that shows them, and bump.
class ui_element_v2 : public ui_element {
public:
    static constexpr GUID class_guid = {0x3E8F61C4, 0x92AD, 0x4B17, {0xA6, 0x3C, 0x0F, 0xD8, 0x45, 0x7B, 0x29, 0xE0}};
    using parent_t = ui_element;
    using service_class_t = ui_element;

    // True with the group's name in `out`, false for an element without one.
    virtual bool get_element_group(zorb::string_base& out) = 0;
    // Finds an instance the host can show, shows it and draws the eye to it: false when none.
    virtual bool bump() = 0;
    virtual GUID get_menu_command_guid() = 0;
    virtual void get_menu_command_name(zorb::string_base& out) = 0;
    virtual bool get_menu_command_description(zorb::string_base& out) = 0;
    // Elements held inside this one (containers); 0 for none.
    virtual size_t get_children_count() = 0;
};
