#include "sample/preferences/preferences.h"

#include <limits>

#include "helpers/advconfig_impl.h"
#include "helpers/client.h"

namespace ambrel {

uint32_t preferences_field_value(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return 0;
    text = text.substr(first, text.find_last_not_of(" \t") + 1 - first);
    if (text.find_first_not_of("0123456789") != std::string_view::npos) return 0;
    const uint64_t value = parse_leading_unsigned(text);
    constexpr uint32_t largest = std::numeric_limits<uint32_t>::max();
    return value > largest ? largest : static_cast<uint32_t>(value);
}

bool preferences_page_myimpl::help_url(zorb::string_base& out) {
    return host_help_url(host(), "preferences", guid_preferences_page, preferences_page_name, out);
}

service_ptr_t<preferences_page_instance> preferences_page_myimpl::create_page_instance(
    host_window parent, preferences_page_callback& callback) {
    return create_my_preferences(parent, callback);
}

advconfig_branch_sample::advconfig_branch_sample()
    : advconfig_branch_impl("Sample Component", guid_advconfig_branch, guid_advconfig_host_branch, 0.0) {}

advconfig_bogo_setting_3::advconfig_bogo_setting_3()
    : advconfig_entry_integer_impl_("Bogo setting 3", guid_advconfig_bogo_setting_3, guid_advconfig_branch, 0.0,
                                    default_bogo_setting_3, 0, maximum_bogo_setting_3, 0) {}

advconfig_loop_modules::advconfig_loop_modules()
    : advconfig_checkbox_impl(loop_modules_name, cfg_loop_modules, guid_advconfig_branch, 0.0, default_loop_modules) {}

}  // namespace ambrel
