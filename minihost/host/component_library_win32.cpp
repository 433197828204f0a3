#include "minihost/host/component_library.h"

#include <windows.h>

#include <shellapi.h>

#include "zorb/exception.h"
#include "zorb/unicode.h"

namespace minihost {
namespace {

std::string module_file_path(HMODULE module) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return zorb::utf8_from_wide(path);
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace

component_library::component_library(const std::string& path) {
    HMODULE module = LoadLibraryW(zorb::wide_from_utf8(path).c_str());
    if (module == nullptr)
        throw zorb::exception("Cannot load " + path + " (error " + std::to_string(GetLastError()) + ")");
    auto entry = reinterpret_cast<velmora_get_interface_t>(
        reinterpret_cast<void*>(GetProcAddress(module, velmora_get_interface_name)));
    if (entry == nullptr) {
        FreeLibrary(module);
        throw zorb::exception(path + " has no " + velmora_get_interface_name + " export");
    }
    binding_ = {entry, module, module_file_path(module)};
}

component_library::~component_library() { FreeLibrary(static_cast<HMODULE>(binding_.module)); }

std::vector<std::string> command_line_arguments() {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> result;
    for (int i = 1; i < count; ++i) result.push_back(zorb::utf8_from_wide(arguments[i]));
    LocalFree(arguments);
    return result;
}

std::string executable_directory() {
    const std::string path = module_file_path(nullptr);
    return path.substr(0, path.size() - file_name_of(path).size());
}

}  // namespace minihost
