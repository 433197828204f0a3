#include <windows.h>

#include "minihost/host/system_message.h"
#include "zorb/unicode.h"

namespace minihost {
namespace {

std::wstring lookup(DWORD code, HMODULE module) {
    wchar_t* text = nullptr;
    const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                        (module ? FORMAT_MESSAGE_FROM_HMODULE : FORMAT_MESSAGE_FROM_SYSTEM);
    const DWORD length = FormatMessageW(flags, module, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = length && text ? std::wstring(text, length) : std::wstring();
    if (text) LocalFree(text);
    while (!message.empty() &&
           (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' ' || message.back() == L'.'))
        message.pop_back();
    return message;
}

}  // namespace

std::string system_message(unsigned long code, std::initializer_list<void*> modules) {
    std::wstring message;
    for (void* module : modules)
        if (module && message.empty()) message = lookup(code, static_cast<HMODULE>(module));
    if (message.empty()) message = lookup(code, nullptr);
    if (message.empty()) return "Windows error " + std::to_string(code);
    return zorb::utf8_from_wide(message);
}

}  // namespace minihost
