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
#include "tests/component/host_fixture.h"

extern "C" velmora_client* velmora_get_interface(host_api* api, void* module);

namespace {

using test_support::stored_record;

void feed(velmora_client& client, const GUID& guid, const std::vector<uint8_t>& data) {
    const std::vector<uint8_t> bytes = test_support::record(guid, data);
    memory_stream_reader in(bytes.data(), bytes.size());
    abort_callback_dummy abort;
    client.set_config(in, abort);
}

class SamplePreferences : public ::testing::Test {
protected:
    void SetUp() override {
        host.start({velmora_get_interface, nullptr, "kiv_ambrel.dll"});
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

    test_support::scratch_folder folder{std::string("preferences-") +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name()};
    minihost::host host{folder.file("config.bin")};
};

TEST_F(SamplePreferences, VariablesStoreTheirDefaultsInPayloadsOfTheirSize) {
    EXPECT_EQ(stored_record(host.client(), ambrel::guid_cfg_bogo_setting_1), (std::vector<uint8_t>{0x39, 0x05, 0, 0}));
    EXPECT_EQ(stored_record(host.client(), ambrel::guid_cfg_bogo_setting_2), (std::vector<uint8_t>{0x9A, 0x02, 0, 0}));
    EXPECT_EQ(stored_record(host.client(), ambrel::guid_advconfig_bogo_setting_3),
              (std::vector<uint8_t>{42, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(SamplePreferences, ShortRecordsLeaveTheValuesAlone) {
    feed(host.client(), ambrel::guid_cfg_bogo_setting_1, {7, 0, 0});
    EXPECT_EQ(ambrel::cfg_bogo_setting_1.get(), 1337u);
    feed(host.client(), ambrel::guid_cfg_bogo_setting_1, {7, 0, 0, 0, 0xEE});  // longer: the rest is skipped
    EXPECT_EQ(ambrel::cfg_bogo_setting_1.get(), 7u);
    feed(host.client(), ambrel::guid_cfg_bogo_setting_1, {1, 2, 3});
    EXPECT_EQ(ambrel::cfg_bogo_setting_1.get(), 7u);  // or the value it had loaded
    feed(host.client(), ambrel::guid_advconfig_bogo_setting_3, {5, 0, 0, 0});
    EXPECT_EQ(value_of(*bogo_3()), "42");
}

TEST_F(SamplePreferences, AdvancedEntryParsesLeadingDigitsAndClamps) {
    auto entry = bogo_3();
    ASSERT_TRUE(entry);
    struct typed {
        const char* text;
        const char* stored;
    };
    for (const typed& t : {typed{"12345", "9999"}, typed{"", "0"}, typed{"17", "17"}, typed{"12abc", "12"},
                           typed{"abc", "0"}, typed{" 5", "0"}, typed{"9999", "9999"}, typed{"0010", "10"},
                           typed{"-3", "0"}, typed{"99999999999999999999999", "9999"}}) {
        entry->set_value_text(t.text, std::strlen(t.text));
        EXPECT_EQ(value_of(*entry), t.stored) << t.text;
        zorb::string8 coerced(t.text);
        entry->coerce_text(coerced);
        EXPECT_EQ(coerced.str(), t.stored) << t.text;
    }
    entry->set_value_text("12345", 5);
    EXPECT_EQ(stored_record(host.client(), ambrel::guid_advconfig_bogo_setting_3),
              (std::vector<uint8_t>{0x0F, 0x27, 0, 0, 0, 0, 0, 0}));
    entry->reset_entry();
    EXPECT_EQ(value_of(*entry), "42");
    zorb::string8 text;
    entry->default_text(text);
    EXPECT_EQ(text.str(), "42");
    entry->entry_name(text);
    EXPECT_EQ(text.str(), "Bogo setting 3");
    EXPECT_EQ(entry->entry_guid(), ambrel::guid_advconfig_bogo_setting_3);
    EXPECT_EQ(entry->entry_parent(), ambrel::guid_advconfig_branch);
    EXPECT_EQ(entry->value_kind(), 1u);
    EXPECT_EQ(entry->preference_flags(), 0u);
    EXPECT_EQ(entry->entry_priority(), 0.0);
}

TEST_F(SamplePreferences, TreeHangsTheBranchInTheHostsAndSetsByNameOrPath) {
    std::ostringstream tree;
    minihost::print_advconfig_tree(host, tree);
    EXPECT_EQ(tree.str(), "Tools\n  Sample Component\n    Bogo setting 3: 42\n    Loop modules for ever: on\n");
    std::ostringstream out;
    std::string error;
    EXPECT_TRUE(minihost::set_advconfig_value(host, "Tools/Sample Component/Bogo setting 3", "777", out, error));
    EXPECT_EQ(out.str(), "Bogo setting 3: 777\n");
    EXPECT_FALSE(minihost::set_advconfig_value(host, "Sample Component", "1", out, error));  // a branch holds no value
    EXPECT_EQ(error, "no advanced setting named Sample Component");
    EXPECT_FALSE(minihost::set_advconfig_value(host, "Bogo setting 4", "1", out, error));
    EXPECT_EQ(value_of(*bogo_3()), "777");
}

TEST_F(SamplePreferences, LoopSettingIsACheckBoxKeptInOneByte) {
    service_ptr_t<advconfig_entry_checkbox> checkbox;
    for (size_t index = 0; index < service_count_t<advconfig_entry>(host); ++index)
        if (auto entry = service_create_at_t<advconfig_entry>(host, index).query_as<advconfig_entry_checkbox>())
            checkbox = entry;
    ASSERT_TRUE(checkbox);
    EXPECT_EQ(checkbox->entry_guid(), ambrel::guid_cfg_loop_modules);
    EXPECT_EQ(checkbox->entry_parent(), ambrel::guid_advconfig_branch);
    EXPECT_EQ(stored_record(host.client(), ambrel::guid_cfg_loop_modules), (std::vector<uint8_t>{1}));
    struct typed {
        const char* text;
        const char* shown;  // nullptr: refused, the value stays
    };
    for (const typed& t : {typed{"off", "off"}, typed{"YES", "on"}, typed{"0", "off"}, typed{"True", "on"},
                           typed{"no", "off"}, typed{"maybe", nullptr}, typed{"", nullptr}, typed{"1", "on"},
                           typed{"FALSE", "off"}, typed{"onn", nullptr}}) {
        const bool before = checkbox->get_state();
        std::ostringstream out;
        std::string error;
        const bool taken =
            minihost::set_advconfig_value(host, "Tools/Sample Component/Loop modules for ever", t.text, out, error);
        EXPECT_EQ(taken, t.shown != nullptr) << t.text;
        if (t.shown) {
            EXPECT_EQ(out.str(), std::string("Loop modules for ever: ") + t.shown + "\n") << t.text;
        } else {
            EXPECT_EQ(error,
                      std::string("Tools/Sample Component/Loop modules for ever takes on or off, not ") + t.text);
            EXPECT_EQ(checkbox->get_state(), before) << t.text;
        }
    }
    EXPECT_EQ(stored_record(host.client(), ambrel::guid_cfg_loop_modules), (std::vector<uint8_t>{0}));
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
    host.start({velmora_get_interface, nullptr, "kiv_ambrel.dll"});
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

TEST_F(SamplePreferences, PageServiceAnswersWithItsFixedValues) {
    auto page = service_lookup_one_t<preferences_page>(host).query_as<preferences_page_v3>();
    ASSERT_TRUE(page);
    zorb::string8 text;
    page->page_name(text);
    EXPECT_EQ(text.str(), "Sample Component");
    EXPECT_EQ(host_guid::to_text(page->page_guid()), "{7702C93E-24DC-48ED-8DB1-3F27B38C7CC9}");
    EXPECT_EQ(host_guid::to_text(page->parent_guid()), "{627C0767-0793-44F8-8087-BE4934311282}");
    EXPECT_FALSE(page->can_reset_directly());
    EXPECT_EQ(page->sort_priority(), 0.0);
    ASSERT_TRUE(page->help_url(text));
    EXPECT_EQ(
        text.str(),
        "https://help.velmora.org/1.0-minihost/preferences/{7702C93E-24DC-48ED-8DB1-3F27B38C7CC9}/Sample Component");
    try {
        page->create_old_style(nullptr);
        FAIL() << "the page has only instances";
    } catch (const zorb::exception_not_implemented& failure) {
        EXPECT_STREQ(failure.what(), "Feature not implemented");
    }
}

TEST(PreferencesFields, ReadAsUnsignedNumbers) {
    struct field {
        const char* text;
        uint32_t value;
    };
    for (const field& f :
         {field{"1337", 1337}, field{" 42 ", 42}, field{"", 0}, field{"abc", 0}, field{"12abc", 0}, field{"-1", 0},
          field{"4294967295", 4294967295u}, field{"99999999999", 4294967295u}, field{"007", 7}})
        EXPECT_EQ(ambrel::preferences_field_value(f.text), f.value) << f.text;
}

}  // namespace
