// kiv_ambrel.dll and ambrel_probe.dll loaded the way velmora loads them, under Wine.
#include <gtest/gtest.h>

#include "host/service_lookup.h"
#include "minihost/host/index_store_system_file.h"
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

// The index store reads its files through ReadFile at offsets: up to the end and no further.
TEST(IndexStoreFile, ReadsNothingAtOrPastItsEnd) {
    using minihost::system_file::file;
    scratch_folder folder("index-store-file");
    write_bytes(folder.file("store"), {1, 2, 3});
    const auto stored = file::open(folder.file("store"), file::access::read);
    uint8_t got[8] = {};
    EXPECT_EQ(stored->read_at(1, got, 8), 2u);
    EXPECT_EQ(stored->read_at(3, got, 8) + stored->read_at(9, got, 8), 0u);
}

// minihost.exe loads the DLL from beside itself and tells it its path.
TEST(Minihost, AboutShowsTheLoadedFilesIdentityAndItsInstallationCheck) {
    const std::string about = run_minihost_with_status("about").output;
    EXPECT_TRUE(contains(about, "file name: kiv_ambrel.dll\nname: Ambrel Component\nversion: 0.66\n"));
    EXPECT_TRUE(contains(about, "installation check: passed\n"));
}

}  // namespace
