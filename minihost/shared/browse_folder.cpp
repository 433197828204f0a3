// uBrowseForFolder: the host's answer when it has one, otherwise the system's folder picker.
#include <mutex>

#include "host/shared.h"

// The system's folder picker (a window build), or none: false as if cancelled.
bool system_folder_picker(void* parent, const char* title, zorb::string_base& out);

namespace {

std::mutex hook_mutex;
uBrowseForFolder_hook_t current_hook = nullptr;
void* current_context = nullptr;

}  // namespace

void uBrowseForFolder_set_hook(uBrowseForFolder_hook_t hook, void* context) {
    std::lock_guard lock(hook_mutex);
    current_hook = hook;
    current_context = context;
}

bool uBrowseForFolder(void* parent, const char* title, zorb::string_base& out) {
    uBrowseForFolder_hook_t hook;
    void* context;
    {
        std::lock_guard lock(hook_mutex);
        hook = current_hook;
        context = current_context;
    }
    if (title == nullptr) title = "";
    if (hook) {
        const int answer = hook(context, parent, title, out);
        if (answer >= 0) return answer == 1;
    }
    ModalDialog_Switch(true);
    const bool chosen = system_folder_picker(parent, title, out);
    ModalDialog_Switch(false);
    return chosen;
}

#ifndef _WIN32
bool system_folder_picker(void*, const char*, zorb::string_base&) { return false; }
#endif
