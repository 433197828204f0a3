#include "minihost/component_library.h"

#include <windows.h>

#include <shellapi.h>

#include "zorb/exception.h"

namespace minihost {
namespace {

std::wstring to_utf16(const std::string& text) {
    if (text.empty()) return {};
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring wide(size_t(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), wide.data(), length);
    return wide;
}

std::string to_utf8(const wchar_t* text) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1) return {};
    std::string narrow(size_t(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow.data(), length, nullptr, nullptr);
    narrow.resize(size_t(length - 1));
    return narrow;
}

std::string module_file_path(HMODULE module) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(module, path.data(), DWORD(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return to_utf8(path.c_str());
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace

component_library::component_library(const std::string& path) {
    HMODULE module = LoadLibraryW(to_utf16(path).c_str());
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
    for (int i = 1; i < count; ++i) result.push_back(to_utf8(arguments[i]));
    LocalFree(arguments);
    return result;
}

std::string executable_directory() {
    const std::string path = module_file_path(nullptr);
    return path.substr(0, path.size() - file_name_of(path).size());
}

}  // namespace minihost
