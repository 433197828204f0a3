// The sample preferences in minihost, linked in-process: configuration variables and their records,
// the advanced setting and its tree, and the page service.
#include <gtest/gtest.h>

#include <sstream>

#include "helpers/advconfig_impl.h"
#include "host/advconfig.h"
#include "host/memory_stream.h"
#include "host/preferences.h"
#include "host/service_lookup.h"
#include "minihost/host/advconfig.h"
#include "sample/preferences/preferences.h"
#include "tests/component/sample_fixture.h"

namespace {

using test_support::stored_record;

void feed(velmora_client& client, const GUID& guid, const std::vector<uint8_t>& data) {
    const std::vector<uint8_t> bytes = test_support::record(guid, data);
    memory_stream_reader in(bytes.data(), bytes.size());
    abort_callback_dummy abort;
    client.set_config(in, abort);
}

class SamplePreferences : public test_support::component_test {
protected:
    SamplePreferences() : component_test("preferences") {}
    void SetUp() override {
        component_test::SetUp();
        // The variables are the process's own here: back to their defaults for every test.
        ambrel::cfg_bogo_setting_1.set(ambrel::default_cfg_bogo_setting_1);
        ambrel::cfg_bogo_setting_2.set(ambrel::default_cfg_bogo_setting_2);
        bogo_3()->reset_entry();
        ambrel::cfg_loop_modules.set(1);
    }
    service_ptr_t<advconfig_entry_string_v2> bogo_3() {
        const size_t count = service_count_t<advconfig_entry>(host);
        for (size_t index = 0; index < count; ++index)
            if (auto entry = service_create_at_t<advconfig_entry>(host, index).query_as<advconfig_entry_string_v2>())
                return entry;
        return {};
    }
    std::string value_of(advconfig_entry_string& entry) {
        zorb::string8 text;
        entry.value_text(text);
        return text.str();
    }
};

// Their stored records: tests/win/dialog_test.cpp.
TEST_F(SamplePreferences, VariablesTakeTheirRecordsAndAShortOneLeavesTheValueAlone) {
    feed(host.client(), ambrel::guid_cfg_bogo_setting_1, {7, 0, 0, 0});
    EXPECT_EQ(ambrel::cfg_bogo_setting_1.get(), 7u);
    feed(host.client(), ambrel::guid_advconfig_bogo_setting_3, {5, 0, 0, 0});
    EXPECT_EQ(value_of(*bogo_3()), "42");
}

TEST_F(SamplePreferences, AdvancedEntryParsesLeadingDigitsClampsAndResets) {
    auto entry = bogo_3();
    ASSERT_TRUE(entry);
    const std::pair<const char*, const char*> typed[] = {
        {"", "0"},         {"12abc", "12"}, {" 5", "0"}, {"9999", "9999"},
        {"10000", "9999"}, {"0010", "10"},  {"-3", "0"}, {"99999999999999999999999", "9999"}};
    for (const auto& [text, stored] : typed) {
        entry->set_value_text(text, std::strlen(text));
        EXPECT_EQ(value_of(*entry), stored) << text;
        zorb::string8 coerced(text);
        entry->coerce_text(coerced);
        EXPECT_EQ(coerced.str(), stored) << text;
    }
    entry->set_value_text("12345", 5);
    EXPECT_EQ(stored_record(host.client(), ambrel::guid_advconfig_bogo_setting_3),
              (std::vector<uint8_t>{0x0F, 0x27, 0, 0, 0, 0, 0, 0}));
    entry->reset_entry();
    EXPECT_EQ(value_of(*entry), "42");
}

// The byte it is kept in: tests/win/dialog_test.cpp.
TEST_F(SamplePreferences, LoopSettingIsACheckBoxTakingOnOrOffInAnyCase) {
    service_ptr_t<advconfig_entry_checkbox> checkbox;
    for (size_t index = 0; index < service_count_t<advconfig_entry>(host); ++index)
        if (auto entry = service_create_at_t<advconfig_entry>(host, index).query_as<advconfig_entry_checkbox>())
            checkbox = entry;
    ASSERT_TRUE(checkbox);
    const std::pair<const char*, const char*> typed[] = {
        // shown nullptr: refused, the value stays
        {"off", "off"}, {"YES", "on"}, {"0", "off"}, {"True", "on"}, {"no", "off"}, {"", nullptr}, {"onn", nullptr}};
    for (const auto& [text, shown] : typed) {
        const bool before = checkbox->get_state();
        std::ostringstream out;
        std::string error;
        const bool taken =
            minihost::set_advconfig_value(host, "Tools/Sample Component/Loop modules for ever", text, out, error);
        EXPECT_EQ(taken, shown != nullptr) << text;  // the refusal's text: minihost_commands_test.cpp
        if (shown) {
            EXPECT_EQ(out.str(), std::string("Loop modules for ever: ") + shown + "\n") << text;
        } else {
            EXPECT_EQ(checkbox->get_state(), before) << text;
        }
    }
    EXPECT_FALSE(ambrel::modules_loop_forever());
    feed(host.client(), ambrel::guid_cfg_loop_modules, {2});  // any byte but 0 is on
    EXPECT_TRUE(checkbox->get_state());
    feed(host.client(), ambrel::guid_cfg_loop_modules, {});
    EXPECT_TRUE(checkbox->get_state());
    checkbox->set_state(false);
    checkbox->reset_entry();
    EXPECT_TRUE(ambrel::modules_loop_forever());
}

TEST(AdvconfigTree, ItemsOfAnUnknownBranchAreStillListed) {
    test_support::scratch_folder folder("advconfig-orphans");
    config_variable_list variables;  // the host's own, not the component's
    minihost::host host(folder.file("config.bin"));
    constexpr GUID nowhere = {0xABCDEF01, 0x2345, 0x6789, {1, 2, 3, 4, 5, 6, 7, 8}};
    constexpr GUID lost_branch = {0x0000AAAA, 0x1, 0x2, {3, 3, 3, 3, 3, 3, 3, 3}};
    host.add_service(advconfig_entry::class_guid,
                     service_ptr(new service_impl_t<advconfig_branch_impl>("Lost", lost_branch, nowhere, 0.0)));
    host.add_service(advconfig_entry::class_guid,
                     service_ptr(new service_impl_t<advconfig_entry_integer_impl_<uint32_t>>(
                         "Depth", GUID{0x0000BBBB, 0x1, 0x2, {4}}, lost_branch, 0.0, 3u, 1u, 5u, 0u, variables)));
    test_support::start_component(host);
    std::ostringstream tree;
    minihost::print_advconfig_tree(host, tree);
    EXPECT_EQ(tree.str(),
              "Tools\n  Sample Component\n    Bogo setting 3: 42\n    Loop modules for ever: on\n(no branch "
              "{ABCDEF01-2345-6789-0102-030405060708})\n"
              "  Lost\n    Depth: 3\n");
    std::ostringstream out;
    std::string error;
    EXPECT_TRUE(minihost::set_advconfig_value(host, "Depth", "0", out, error));
    EXPECT_EQ(out.str(), "Depth: 1\n");  // clamped to its minimum
}

TEST(PreferencesFields, ReadAsUnsignedNumbers) {
    const std::pair<const char*, uint32_t> fields[] = {
        {" 42 ", 42}, {"abc", 0}, {"12abc", 0}, {"-1", 0}, {"4294967295", 4294967295u}, {"99999999999", 4294967295u}};
    for (const auto& [text, value] : fields) EXPECT_EQ(ambrel::preferences_field_value(text), value) << text;
}

}  // namespace
