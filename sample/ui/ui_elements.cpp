#include "sample/ui/ui_elements.h"

#include "sample/ui/element_rules.h"

namespace ambrel {
namespace {

constexpr char sample_element_name[] = "Sample UI Element";

}  // namespace

void ui_element_myimpl::get_name(zorb::string_base& out) { out.set_string(sample_element_name); }

bool ui_element_myimpl::get_description(zorb::string_base& out) {
    out.set_string("This is a sample UI Element.");
    return true;
}

bool ui_element_myimpl::get_element_group(zorb::string_base& out) {
    const char* group = ui_element_group_name(get_subclass());
    if (group == nullptr) return false;
    out.set_string(group);
    return true;
}

bool ui_element_myimpl::get_menu_command_description(zorb::string_base& out) {
    out.set_string((std::string("Activates ") + sample_element_name + " window.").c_str());
    return true;
}

void ui_element_dialog_myimpl::get_name(zorb::string_base& out) { out.set_string("Sample Dialog as UI Element"); }

ui_element_config ui_element_dialog_myimpl::get_default_configuration() {
    return {guid_dialog_element, lock_flags_bytes(0)};
}

bool ui_element_dialog_myimpl::get_description(zorb::string_base& out) {
    out.set_string("This is a sample UI Element using win32 dialog.");
    return true;
}

}  // namespace ambrel
