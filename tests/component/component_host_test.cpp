// The component inside minihost, linked in-process: start and stop, console, lookups, identity.
#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "component/identity.h"
#include "helpers/client.h"
#include "helpers/console.h"
#include "host/service_lookup.h"
#include "minihost/app/component_commands.h"
#include "tests/component/host_fixture.h"
#include "tests/component/input_fixture.h"

extern "C" velmora_client* velmora_get_interface(host_api* api, void* module);

namespace {

using test_support::failure_text;

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
    service_ptr_t<test_support::capture_console> console = test_support::make_capture_console();
    minihost::host host{folder.file("config.bin")};
};

TEST_F(ComponentInHost, ConsoleLinesAppearOnlyWhileServicesAreUpAndTheHostAnswersThreadAndShutdown) {
    EXPECT_EQ(console->lines(), (std::vector<std::string>{"kiv_ambrel component: on_init()"}));
    EXPECT_TRUE(host.is_main_thread());
    bool elsewhere = true;
    std::thread([&] { elsewhere = host.is_main_thread(); }).join();
    EXPECT_FALSE(elsewhere);
    EXPECT_FALSE(host.is_shutting_down());
    ambrel::console_print("while up");
    host.stop();
    ambrel::console_print("after shutdown");
    EXPECT_EQ(console->lines(), (std::vector<std::string>{"kiv_ambrel component: on_init()", "while up",
                                                          "kiv_ambrel component: on_quit()"}));
    EXPECT_TRUE(host.is_shutting_down());
    EXPECT_FALSE(ambrel::host_services_initialised());
    EXPECT_TRUE(ambrel::host_services_were_initialised());
}

TEST_F(ComponentInHost, ServicesListedInReverseCreationOrderAndAboutPassesTheInstallationCheck) {
    std::ostringstream services, about;
    minihost::list_services(host, services);
    EXPECT_EQ(services.str(), test_support::component_service_listing);
    minihost::print_about(host, about);
    EXPECT_TRUE(about.str().starts_with("file name: kiv_ambrel.dll\n")) << about.str();
    EXPECT_TRUE(about.str().ends_with("installation check: passed\n")) << about.str();
}

TEST_F(ComponentInHost, LookupOfOneServiceFailsWhenNoneOrTwoAreRegistered) {
    // The host's console is the only one: found.
    EXPECT_EQ(service_lookup_one_t<console_receiver>(host).get(), static_cast<console_receiver*>(console.get()));
    EXPECT_EQ(failure_text([&] { service_lookup_one_t<unregistered_service>(host); }), "Service not found");
    service_ptr_t<unregistered_service> untouched;
    EXPECT_FALSE(service_try_lookup_one_t(host, untouched));
    EXPECT_FALSE(untouched);

    host.stop();  // the component serves one host at a time
    test_support::scratch_folder other_folder("duplicates");
    minihost::host two_consoles(other_folder.file("config.bin"));
    two_consoles.add_service(console_receiver::class_guid, test_support::make_capture_console());
    two_consoles.add_service(console_receiver::class_guid, test_support::make_capture_console());
    two_consoles.start({velmora_get_interface, nullptr, "kiv_ambrel.dll"});
    EXPECT_EQ(failure_text([&] { service_lookup_one_t<console_receiver>(two_consoles); }), "Service duplicated");
    service_ptr_t<console_receiver> declined;
    EXPECT_FALSE(service_try_lookup_one_t(two_consoles, declined));
    EXPECT_EQ(service_count_t<console_receiver>(two_consoles), 2u);
}

TEST_F(ComponentInHost, InstallationCheckTakesTheNameAfterTheLastSeparator) {
    const std::pair<const char*, bool> cases[] = {
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
        {"C:\\kiv_ambrel.dll:stream", false}};
    auto validator = service_lookup_one_t<component_installation_validator>(host);
    for (const auto& [path, installed] : cases) {
        host.client().set_library_path(path, "");
        EXPECT_EQ(validator->check_installation(), installed) << path;
    }
}

}  // namespace
