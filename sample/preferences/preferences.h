// The sample preferences: two settings on a preferences page and a third in the advanced settings.
#pragma once

#include <cstdint>
#include <string_view>

#include "helpers/advconfig_impl.h"
#include "helpers/config_records.h"
#include "host/preferences.h"
#include "sample/preferences/loop_setting.h"

namespace ambrel {

template <typename T>
using cfg_int_t = config_value_t<T>;

constexpr GUID guid_cfg_bogo_setting_1 = {0x0BD5C777, 0x735C, 0x440D, {0x8C, 0x71, 0x49, 0xB6, 0xAC, 0xFF, 0xCE, 0xB8}};
constexpr GUID guid_cfg_bogo_setting_2 = {0x752F1186, 0x9F61, 0x4F91, {0xB3, 0xEE, 0x2F, 0x25, 0xB1, 0x24, 0x83, 0x5D}};
constexpr GUID guid_advconfig_bogo_setting_3 = {
    0xF7008963, 0xED60, 0x4084, {0xA8, 0x5D, 0xD1, 0xCD, 0xC5, 0x51, 0x22, 0xCA}};
constexpr GUID guid_advconfig_branch = {0x28564CED, 0x4ABF, 0x4F0C, {0xA4, 0x43, 0x98, 0xDA, 0x88, 0xE2, 0xCD, 0x39}};
// The host's branch that the component's branch hangs in.
constexpr GUID guid_advconfig_host_branch = {
    0x35365484, 0xCC58, 0x4926, {0x97, 0xE1, 0x5E, 0x63, 0xF3, 0xAB, 0xB9, 0xE2}};
constexpr GUID guid_preferences_page = {0x7702C93E, 0x24DC, 0x48ED, {0x8D, 0xB1, 0x3F, 0x27, 0xB3, 0x8C, 0x7C, 0xC9}};
// The host's page that the component's page sits under.
constexpr GUID guid_preferences_host_page = {
    0x627C0767, 0x0793, 0x44F8, {0x80, 0x87, 0xBE, 0x49, 0x34, 0x31, 0x12, 0x82}};

constexpr char preferences_page_name[] = "Sample Component";
constexpr uint32_t default_cfg_bogo_setting_1 = 1337;
constexpr uint32_t default_cfg_bogo_setting_2 = 666;
constexpr uint64_t default_bogo_setting_3 = 42;
constexpr uint64_t maximum_bogo_setting_3 = 9999;

// Defined with the service factories, in the component's creation order.
extern cfg_int_t<uint32_t> cfg_bogo_setting_1;
extern cfg_int_t<uint32_t> cfg_bogo_setting_2;

class preferences_page_myimpl : public preferences_page_v3 {
public:
    host_window create_old_style(host_window) override { throw zorb::exception_not_implemented(); }
    void page_name(zorb::string_base& out) override { out.set_string(preferences_page_name); }
    GUID page_guid() override { return guid_preferences_page; }
    GUID parent_guid() override { return guid_preferences_host_page; }
    bool can_reset_directly() override { return false; }
    void reset_directly() override {}
    bool help_url(zorb::string_base& out) override;
    double sort_priority() override { return 0.0; }
    service_ptr_t<preferences_page_instance> create_page_instance(host_window parent,
                                                                  preferences_page_callback& callback) override;
};

// The branch "Sample Component" in the host's branch.
class advconfig_branch_sample : public advconfig_branch_impl {
public:
    advconfig_branch_sample();
};

// "Bogo setting 3": 0..9999, default 42, kept in a variable of its own GUID.
class advconfig_bogo_setting_3 : public advconfig_entry_integer_impl_<uint64_t> {
public:
    advconfig_bogo_setting_3();
};

// The value an edit field of the page stands for: its text as an unsigned decimal number, blanks
// around it allowed. Text that is not such a number reads as 0; a number beyond 32 bits reads as
// the largest 32-bit value, so that typing too many digits never stores a wrapped-round value.
uint32_t preferences_field_value(std::string_view text);

// The page instance with its dialog window (CMyPreferences), a child of `parent`. Raises
// exception_win32 when the window cannot be created.
service_ptr_t<preferences_page_instance> create_my_preferences(host_window parent, preferences_page_callback& callback);

}  // namespace ambrel
