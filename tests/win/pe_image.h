// Reads the export and import names of a 32-bit PE file, for tests of what a DLL offers and needs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace test_support {

struct pe_names {
    bool valid = false;                // a PE32 image whose tables could all be read
    uint32_t exported_functions = 0;   // entries in the export address table
    std::vector<std::string> exports;  // exported names
    std::vector<std::string> imported_dlls;
};

pe_names read_pe_names(const std::string& path);

}  // namespace test_support
