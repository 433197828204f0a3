// kiv_ambrel.dll and ambrel_probe.dll loaded the way velmora loads them, under Wine.
#include <gtest/gtest.h>

#include <cstdio>

#include "host/service_lookup.h"
#include "tests/win/component_run.h"
#include "tests/win/probe/probe.h"

namespace {

using namespace test_support;

const std::string probe_path = beside_executable("ambrel_probe.dll");

TEST(ComponentDll, ExportsOnlyItsEntryAndSharesTheRuntime) {
    // The image as the loader mapped it: its headers and tables at their relative addresses.
    HMODULE module = LoadLibraryW(zorb::wide_from_utf8(component_path).c_str());
    ASSERT_NE(module, nullptr);
    const auto* base = reinterpret_cast<const uint8_t*>(module);
    const auto at = [base](uint32_t rva) { return base + rva; };
    const auto& headers = *reinterpret_cast<const IMAGE_NT_HEADERS32*>(
        at(uint32_t(reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew)));
    const IMAGE_DATA_DIRECTORY* directories = headers.OptionalHeader.DataDirectory;
    const auto& exports =
        *reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(at(directories[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress));
    EXPECT_EQ(exports.NumberOfFunctions, 1u);
    ASSERT_EQ(exports.NumberOfNames, 1u);
    EXPECT_STREQ(reinterpret_cast<const char*>(at(*reinterpret_cast<const uint32_t*>(at(exports.AddressOfNames)))),
                 "velmora_get_interface");
    // Exceptions reach the host only when both sides use the same C++ runtime DLLs.
    lines_t imported;
    for (auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(
             at(directories[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress));
         entry->Name != 0; ++entry)
        imported.push_back(reinterpret_cast<const char*>(at(entry->Name)));
    for (const char* runtime : {"libstdc++-6.dll", "libgcc_s_dw2-1.dll", "velmora_shared.dll"})
        EXPECT_NE(std::find(imported.begin(), imported.end(), runtime), imported.end()) << runtime;
    FreeLibrary(module);
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

TEST(ComponentDll, ReferencesCountAcrossTheBoundaryAndTheLastOneDeletesInsideTheDll) {
    test_support::scratch_folder folder("dll-query");
    component_run run(probe_path, folder.file("config.bin"));
    auto counted = service_lookup_one_t<probe_counted>(run.host);
    EXPECT_EQ(counted->live_objects(), 1);
    service_base* out = nullptr;
    ASSERT_TRUE(counted->query(out, service_base::class_guid));
    EXPECT_EQ(counted->add_ref(), 3);  // the lookup's reference, the query's and this one
    counted->release();
    out->release();
    EXPECT_FALSE(counted->query(out, probe_lookups::class_guid));
    counted.reset();
    auto another = service_lookup_one_t<probe_counted>(run.host);
    EXPECT_EQ(another->live_objects(), 1);
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
    // A failing variable first, a record nobody knows, the counter at 41, then stray bytes.
    constexpr GUID unknown = {0x01234567, 0x89AB, 0xCDEF, {1, 3, 5, 7, 9, 11, 13, 15}};
    write_file(config, {record(probe_failing_guid, {1, 2, 3}), record(unknown, {9, 9}),
                        record(probe_counter_guid, {41, 0, 0, 0}), std::vector<uint8_t>(10, 0xEE)});
    for (int expected : {42, 43, 44}) {
        component_run run(probe_path, config);
        run.host.stop();
        // Nothing the variables print while the services are down reaches the console: the counter's
        // line with the component's own on_init and on_quit are all.
        const lines_t lines = run.lines();
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "probe counter: " + std::to_string(expected)), 1);
        EXPECT_EQ(lines.size(), 3u);
    }
}

// minihost.exe loads the DLL from beside itself and tells it its path.
TEST(Minihost, AboutShowsTheLoadedFilesIdentityAndItsInstallationCheck) {
    const std::string about = run_minihost("about");
    EXPECT_TRUE(contains(about, "file name: kiv_ambrel.dll\nname: Ambrel Component\nversion: 0.66\n"));
    EXPECT_TRUE(contains(about, "installation check: passed\n"));
}

}  // namespace
