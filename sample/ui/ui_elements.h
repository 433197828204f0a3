// The component's two layout elements: "Sample UI Element" (a panel in the host's colours that can be
// bumped) and "Sample Dialog as UI Element" (a dialog whose check boxes lock its size limits).
// Their instances are windows (sample_element_win32.cpp, dialog_element_win32.cpp); a build without
// windows makes none and bumps nothing.
#pragma once

#include "host/ui_element.h"

namespace ambrel {

constexpr GUID guid_sample_element = {0xB46DC166, 0x88F3, 0x4B45, {0x9F, 0x77, 0xAB, 0x33, 0xF4, 0xC3, 0xF2, 0xE4}};
constexpr GUID guid_dialog_element = {0x078CA1D7, 0x4E3A, 0x41D5, {0xA5, 0xEF, 0x9D, 0x1A, 0xF7, 0xD5, 0x79, 0xD0}};

class ui_element_myimpl : public ui_element_v2 {
public:
    GUID get_guid() override { return guid_sample_element; }
    GUID get_subclass() override { return ui_element_subclass_ids::utility; }
    void get_name(zorb::string_base& out) override;
    service_ptr_t<ui_element_instance> instantiate(host_window parent, const ui_element_config& config,
                                                   service_ptr_t<ui_element_instance_callback> callback) override;
    ui_element_config get_default_configuration() override { return {guid_sample_element, {}}; }
    bool get_description(zorb::string_base& out) override;
    bool get_element_group(zorb::string_base& out) override;
    bool bump() override;
    GUID get_menu_command_guid() override { return guid_sample_element; }
    void get_menu_command_name(zorb::string_base& out) override { get_name(out); }
    bool get_menu_command_description(zorb::string_base& out) override;
    size_t get_children_count() override { return 0; }
};

class ui_element_dialog_myimpl : public ui_element {
public:
    GUID get_guid() override { return guid_dialog_element; }
    GUID get_subclass() override { return ui_element_subclass_ids::utility; }
    void get_name(zorb::string_base& out) override;
    service_ptr_t<ui_element_instance> instantiate(host_window parent, const ui_element_config& config,
                                                   service_ptr_t<ui_element_instance_callback> callback) override;
    // Flags 0.
    ui_element_config get_default_configuration() override;
    bool get_description(zorb::string_base& out) override;
};

}  // namespace ambrel
