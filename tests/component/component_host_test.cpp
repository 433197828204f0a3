// The component inside minihost, linked in-process: start and stop, console, lookups, identity.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "component/identity.h"
#include "helpers/client.h"
#include "helpers/console.h"
#include "host/service_lookup.h"
#include "minihost/app/component_commands.h"
#include "tests/component/host_fixture.h"

extern "C" velmora_client* velmora_get_interface(host_api* api, void* module);

namespace {

using test_support::capture_console;

// A class that nobody registers.
class unregistered_service : public service_base {
public:
    static constexpr GUID class_guid = {0x6F1A2B3C, 0x4D5E, 0x4F60, {0x81, 0x92, 0xA3, 0xB4, 0xC5, 0xD6, 0xE7, 0xF8}};
    using parent_t = service_base;
};

class ComponentInHost : public ::testing::Test {
protected:
    void SetUp() override {
        host.add_service(console_receiver::class_guid, console);
        host.start({velmora_get_interface, nullptr, "C:\\velmora\\components\\kiv_ambrel.dll"});
    }

    test_support::scratch_folder folder{"component-host"};
    service_ptr_t<capture_console> console = test_support::make_capture_console();
    minihost::host host{folder.file("config.bin")};
};

TEST_F(ComponentInHost, LifecycleLinesAppearOnlyWhileServicesAreUp) {
    EXPECT_EQ(console->lines(), (std::vector<std::string>{"kiv_ambrel component: on_init()"}));
    ambrel::console_print("while up");
    host.stop();
    ambrel::console_print("after shutdown");
    EXPECT_EQ(console->lines(), (std::vector<std::string>{"kiv_ambrel component: on_init()", "while up",
                                                          "kiv_ambrel component: on_quit()"}));
    EXPECT_FALSE(ambrel::host_services_initialised());
    EXPECT_TRUE(ambrel::host_services_were_initialised());
}

TEST_F(ComponentInHost, HostAnswersThreadAndShutdownQuestions) {
    EXPECT_TRUE(host.is_main_thread());
    bool elsewhere = true;
    std::thread([&] { elsewhere = host.is_main_thread(); }).join();
    EXPECT_FALSE(elsewhere);
    EXPECT_FALSE(host.is_shutting_down());
    host.stop();
    EXPECT_TRUE(host.is_shutting_down());
}

TEST(HostExceptions, CarryTheirFixedTexts) {
    EXPECT_STREQ(velmora_io::exception_io_unsupported_format().what(), "Unsupported file format");
    EXPECT_STREQ(velmora_io::exception_io_bad_subsong_index().what(), "Unexpected subsong index");
    EXPECT_STREQ(velmora_io::exception_io_data().what(), "Unsupported format or corrupted file");
    EXPECT_STREQ(velmora_io::exception_aborted().what(), "User abort");
    EXPECT_STREQ(zorb::exception_not_implemented().what(), "Feature not implemented");
    EXPECT_STREQ(zorb::exception_invalid_params().what(), "Invalid parameters");
    EXPECT_STREQ(exception_service_not_found().what(), "Service not found");
    EXPECT_STREQ(exception_service_duplicated().what(), "Service duplicated");
    // Handlers may catch a family by its base.
    EXPECT_THROW(throw velmora_io::exception_io_bad_subsong_index(), velmora_io::exception_io_data);
    EXPECT_THROW(throw exception_service_duplicated(), zorb::exception);
    EXPECT_STREQ(velmora_io::exception_io_data("Truncated pattern").what(), "Truncated pattern");
}

TEST_F(ComponentInHost, ClientAnswersVersionAndDebugFlag) {
    EXPECT_EQ(host.client().get_version(), 79u);
    EXPECT_FALSE(host.client().is_debug());
}

TEST_F(ComponentInHost, ServicesListedInReverseCreationOrder) {
    std::ostringstream out;
    minihost::list_services(host, out);
    EXPECT_EQ(out.str(), test_support::component_service_listing);
}

TEST_F(ComponentInHost, AboutShowsIdentityAndInstallationCheck) {
    std::ostringstream out;
    minihost::print_about(host, out);
    EXPECT_EQ(out.str(),
              "file name: kiv_ambrel.dll\n"
              "name: Ambrel Component\n"
              "version: 0.66\n"
              "about: Copyright (c) 2025 kiv. All rights reserved.\n"
              "installation check: passed\n");
}

TEST_F(ComponentInHost, LookupOfOneServiceFailsWithItsTexts) {
    // The host's console is the only one: found.
    EXPECT_EQ(service_lookup_one_t<console_receiver>(host).get(), static_cast<console_receiver*>(console.get()));
    try {
        service_lookup_one_t<unregistered_service>(host);
        FAIL() << "no service of the class is registered";
    } catch (const exception_service_not_found& failure) {
        EXPECT_STREQ(failure.what(), "Service not found");
    }
    service_ptr_t<unregistered_service> untouched;
    EXPECT_FALSE(service_try_lookup_one_t(host, untouched));
    EXPECT_FALSE(untouched);
}

TEST(ComponentLookups, DuplicatedServiceFailsAndTolerantLookupDeclines) {
    test_support::scratch_folder folder("duplicates");
    minihost::host host(folder.file("config.bin"));
    host.add_service(console_receiver::class_guid, test_support::make_capture_console());
    host.add_service(console_receiver::class_guid, test_support::make_capture_console());
    host.start({velmora_get_interface, nullptr, "kiv_ambrel.dll"});
    try {
        service_lookup_one_t<console_receiver>(host);
        FAIL() << "two console receivers are registered";
    } catch (const exception_service_duplicated& failure) {
        EXPECT_STREQ(failure.what(), "Service duplicated");
    }
    service_ptr_t<console_receiver> untouched;
    EXPECT_FALSE(service_try_lookup_one_t(host, untouched));
    // Both receivers get every console line.
    EXPECT_EQ(service_count_t<console_receiver>(host), 2u);
}

TEST_F(ComponentInHost, InstallationCheckTakesTheNameAfterTheLastSeparator) {
    struct installation_case {
        const char* path;
        bool installed;
    };
    const installation_case cases[] = {
        {"C:\\Program Files\\velmora\\components\\kiv_ambrel.dll", true},
        {"C:\\Program Files\\velmora\\components\\KIV_AMBREL.DLL", false},  // case counts
        {"C:kiv_ambrel.dll", true},                                         // drive prefix, no folder
        {"/opt/velmora/kiv_ambrel.dll", true},
        {"archive.zip|kiv_ambrel.dll", true},
        {"kiv_ambrel.dll", true},
        {"", false},
        {"C:\\components\\", false},  // ends in a separator: empty name
        {"C:\\kiv_ambrel.dll\\", false},
        {"C:\\components\\old_kiv_ambrel.dll", false},
        {"C:\\components\\kiv_ambrel.dll.bak", false},
        {"C:\\kiv_ambrel.dll:stream", false},
    };
    auto validator = service_lookup_one_t<component_installation_validator>(host);
    for (const installation_case& c : cases) {
        host.client().set_library_path(c.path, "");
        EXPECT_EQ(validator->check_installation(), c.installed) << c.path;
    }
}

}  // namespace
