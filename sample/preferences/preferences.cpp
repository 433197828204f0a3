#include "sample/preferences/preferences.h"

#include <limits>

#include "component/advconfig_impl.h"
#include "component/client.h"
#include "host/service_entry.h"

namespace ambrel {

// Creation order: the two variables, the advanced-settings branch and entry, the page.
cfg_int_t<uint32_t> cfg_bogo_setting_1(guid_cfg_bogo_setting_1, default_cfg_bogo_setting_1);
cfg_int_t<uint32_t> cfg_bogo_setting_2(guid_cfg_bogo_setting_2, default_cfg_bogo_setting_2);

uint32_t preferences_field_value(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return 0;
    text = text.substr(first, text.find_last_not_of(" \t") + 1 - first);
    if (text.find_first_not_of("0123456789") != std::string_view::npos) return 0;
    const uint64_t value = parse_leading_unsigned(text);
    constexpr uint32_t largest = std::numeric_limits<uint32_t>::max();
    return value > largest ? largest : uint32_t(value);
}

namespace {

class preferences_page_myimpl : public preferences_page_v3 {
public:
    host_window create_old_style(host_window) override { throw zorb::exception_not_implemented(); }
    void page_name(zorb::string_base& out) override { out.set_string(preferences_page_name); }
    GUID page_guid() override { return guid_preferences_page; }
    GUID parent_guid() override { return guid_preferences_host_page; }
    bool can_reset_directly() override { return false; }
    void reset_directly() override {}
    bool help_url(zorb::string_base& out) override {
        return host_help_url(host(), "preferences", guid_preferences_page, preferences_page_name, out);
    }
    double sort_priority() override { return 0.0; }
    service_ptr_t<preferences_page_instance> create_page_instance(host_window parent,
                                                                  preferences_page_callback& callback) override {
        return create_my_preferences(parent, callback);
    }
};

service_factory_single_entry_t<advconfig_entry, advconfig_branch_impl> branch_factory(
    "Sample Component", guid_advconfig_branch, guid_advconfig_host_branch, 0.0);
service_factory_single_entry_t<advconfig_entry, advconfig_entry_integer_impl_<uint64_t>> bogo_setting_3_factory(
    "Bogo setting 3", guid_advconfig_bogo_setting_3, guid_advconfig_branch, 0.0, default_bogo_setting_3, uint64_t(0),
    maximum_bogo_setting_3, 0u);
service_factory_single_entry_t<preferences_page, preferences_page_myimpl> page_factory;

}  // namespace
}  // namespace ambrel
