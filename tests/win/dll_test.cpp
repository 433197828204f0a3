// kiv_ambrel.dll and ambrel_probe.dll loaded the way velmora loads them, under Wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <thread>

#include "host/service_lookup.h"
#include "minihost/app/component_commands.h"
#include "minihost/host/component_library.h"
#include "tests/component/host_fixture.h"
#include "tests/win/component_run.h"
#include "tests/win/pe_image.h"
#include "tests/win/probe/probe.h"
#include "zorb/files.h"

namespace {

using namespace test_support;

const std::string component_path = beside_executable("kiv_ambrel.dll");
const std::string probe_path = beside_executable("ambrel_probe.dll");

TEST(ComponentDll, ExportsOnlyItsEntryAndSharesTheRuntime) {
    const test_support::pe_names names = test_support::read_pe_names(component_path);
    ASSERT_TRUE(names.valid);
    EXPECT_EQ(names.exports, lines_t{"velmora_get_interface"});
    EXPECT_EQ(names.exported_functions, 1u);
    // Exceptions reach the host only when both sides use the same C++ runtime DLLs.
    for (const char* runtime : {"libstdc++-6.dll", "libgcc_s_dw2-1.dll", "velmora_shared.dll"})
        EXPECT_NE(std::find(names.imported_dlls.begin(), names.imported_dlls.end(), runtime), names.imported_dlls.end())
            << runtime;
}

TEST(ComponentDll, LifecycleLinesAndIdentity) {
    test_support::scratch_folder folder("dll-lifecycle");
    component_run run(component_path, folder.file("config.bin"));
    EXPECT_EQ(run.lines(), lines_t{"kiv_ambrel component: on_init()"});
    std::ostringstream about;
    minihost::print_about(run.host, about);
    EXPECT_NE(about.str().find("file name: kiv_ambrel.dll\nname: Ambrel Component\nversion: 0.66\n"),
              std::string::npos);
    EXPECT_NE(about.str().find("installation check: passed"), std::string::npos);
    run.host.stop();
    EXPECT_EQ(run.lines(), (lines_t{"kiv_ambrel component: on_init()", "kiv_ambrel component: on_quit()"}));
}

// Runs after a test that told the component its path: a fresh load must know nothing of it.
TEST(ComponentDll, BeforeTheHostToldItsPathNameIsEmptyAndCheckFails) {
    minihost::component_library library(component_path);
    test_support::scratch_folder folder("dll-no-path");
    minihost::host host(folder.file("config.bin"));
    velmora_client* client = library.binding().entry(&host, library.binding().module);
    service_ptr_t<componentversion> version;
    service_ptr_t<component_installation_validator> validator;
    for (service_factory_base* factory = client->get_service_list(); factory; factory = factory->get_next()) {
        service_base* object = nullptr;
        factory->instance_create(object);
        auto service = service_ptr::adopt(object);
        if (!version) version = service.query_as<componentversion>();
        if (!validator) validator = service.query_as<component_installation_validator>();
    }
    ASSERT_TRUE(version && validator);
    zorb::string8 name("stale");
    version->file_name(name);
    EXPECT_EQ(name.str(), "");
    EXPECT_FALSE(validator->check_installation());
}

TEST(ComponentDll, InstallationCheckOnTheLoadedPath) {
    test_support::scratch_folder folder("dll-installation");
    component_run run(component_path, folder.file("config.bin"));
    auto validator = service_lookup_one_t<component_installation_validator>(run.host);
    EXPECT_TRUE(validator->check_installation());
    run.host.client().set_library_path("Z:\\renamed\\Kiv_Ambrel.dll", "Kiv_Ambrel.dll");
    EXPECT_FALSE(validator->check_installation());
    run.host.client().set_library_path("", "");
    EXPECT_FALSE(validator->check_installation());
}

TEST(ComponentDll, QueryAnswersOwnAndBaseClassesWithAReference) {
    test_support::scratch_folder folder("dll-query");
    component_run run(probe_path, folder.file("config.bin"));
    auto version = service_lookup_one_t<componentversion>(run.host);
    EXPECT_TRUE(service_ptr_t<componentversion>(version).query_as<service_base>());
    EXPECT_TRUE(service_ptr_t<componentversion>(version).query_as<componentversion>());
    EXPECT_FALSE(service_ptr_t<componentversion>(version).query_as<initquit>());

    auto counted = service_lookup_one_t<probe_counted>(run.host);
    EXPECT_EQ(counted->live_objects(), 1);
    EXPECT_EQ(counted->add_ref(), 2);  // the lookup's reference and this one
    counted->release();
    service_base* out = nullptr;
    ASSERT_TRUE(counted->query(out, probe_counted::class_guid));
    EXPECT_EQ(counted->add_ref(), 3);  // query added one
    counted->release();
    out->release();
    EXPECT_FALSE(counted->query(out, probe_lookups::class_guid));
    EXPECT_EQ(counted->add_ref(), 2);
    counted->release();
    counted.reset();
    // A created object is deleted inside the DLL when its last reference goes.
    auto another = service_lookup_one_t<probe_counted>(run.host);
    EXPECT_EQ(another->live_objects(), 1);
}

TEST(ComponentDll, ReferenceCountsHoldUnderSeveralThreads) {
    test_support::scratch_folder folder("dll-threads");
    component_run run(probe_path, folder.file("config.bin"));
    auto shared = service_lookup_one_t<probe_counted>(run.host);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                service_base* out = nullptr;
                shared->add_ref();
                if (shared->query(out, service_base::class_guid)) out->release();
                shared->release();
            }
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(shared->add_ref(), 2);
    shared->release();
    auto witness = service_lookup_one_t<probe_counted>(run.host);
    EXPECT_EQ(witness->live_objects(), 2);
    shared.reset();
    EXPECT_EQ(witness->live_objects(), 1);
}

TEST(ComponentDll, LookupFailuresCrossTheBoundaryWithTheirTexts) {
    test_support::scratch_folder folder("dll-lookups");
    for (int console_count : {0, 1, 2}) {
        component_run run(probe_path, folder.file("config.bin"), console_count);
        auto lookups = service_lookup_one_t<probe_lookups>(run.host);
        EXPECT_EQ(lookups->try_lookup_console(), console_count == 1);
        try {
            lookups->lookup_console();
            EXPECT_EQ(console_count, 1);
        } catch (const exception_service_not_found& failure) {
            EXPECT_EQ(console_count, 0);
            EXPECT_STREQ(failure.what(), "Service not found");
        } catch (const exception_service_duplicated& failure) {
            EXPECT_EQ(console_count, 2);
            EXPECT_STREQ(failure.what(), "Service duplicated");
        }
    }
}

TEST(ComponentDll, ConfigurationSurvivesRestartsAndDamagedRecords) {
    test_support::scratch_folder folder("dll-config");
    const std::string config = folder.file("config.bin");
    {
        // A failing variable first, a record nobody knows, the counter at 41, then stray bytes.
        std::ofstream file(zorb::native_path(config), std::ios::binary);
        constexpr GUID unknown = {0x01234567, 0x89AB, 0xCDEF, {1, 3, 5, 7, 9, 11, 13, 15}};
        for (const auto& bytes : {record(probe_failing_guid, {1, 2, 3}), record(unknown, {9, 9}),
                                  record(probe_counter_guid, {41, 0, 0, 0}), std::vector<uint8_t>(10, 0xEE)})
            file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    for (int expected : {42, 43, 44}) {
        component_run run(probe_path, config);
        run.host.stop();
        // Nothing the variables print while the services are down reaches the console.
        const lines_t lines = run.lines();
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "probe counter: " + std::to_string(expected)), 1);
        for (const std::string& line : lines) EXPECT_EQ(line.find("probe: configuration"), std::string::npos) << line;
        EXPECT_EQ(lines.size(), 3u);  // with the component's own on_init and on_quit
    }
}

// The host lists the services in reverse creation order: initquit, the module input entry and file
// type, then the identity services.
TEST(Minihost, CommandsShowServicesAndIdentity) {
    const std::string services = run_minihost("services");
    EXPECT_EQ(services, std::string("kiv_ambrel component: on_init()\n") + test_support::component_service_listing +
                            "kiv_ambrel component: on_quit()\n");
    const std::string about = run_minihost("about");
    EXPECT_NE(about.find("name: Ambrel Component\nversion: 0.66\n"), std::string::npos) << about;
    EXPECT_NE(about.find("installation check: passed\n"), std::string::npos) << about;
}

TEST(Minihost, ConfigurationFileCarriesStateFromOneRunToTheNext) {
    test_support::scratch_folder folder("minihost-config");
    const std::string arguments = "--component " + probe_path + " --config " + folder.file("minihost.cfg") + " about";
    EXPECT_NE(run_minihost(arguments).find("probe counter: 1\n"), std::string::npos);
    EXPECT_NE(run_minihost(arguments).find("probe counter: 2\n"), std::string::npos);
}

}  // namespace
