// Loading a component DLL into a minihost host, running minihost.exe, writing configuration records,
// and reading and driving windows: shared by the tests of the Windows tree.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "minihost/host/component_library.h"
#include "minihost/host/host.h"
#include "tests/component/sample_fixture.h"
#include "zorb/files.h"
#include "zorb/unicode.h"

namespace test_support {

using lines_t = std::vector<std::string>;

inline std::string beside_executable(const std::string& name) { return minihost::executable_directory() + name; }
inline const std::string component_path = beside_executable("kiv_ambrel.dll");

// One run of a component from load to unload: a fresh start each time, as after a restart.
struct component_run {
    component_run(const std::string& library_path, const std::string& config_path, int console_count = 1)
        : library(library_path), host(config_path) {
        for (int i = 0; i < console_count; ++i) {
            consoles.push_back(make_capture_console());
            host.add_service(console_receiver::class_guid, consoles.back());
        }
        host.start(library.binding());
    }

    minihost::component_library library;
    std::vector<service_ptr_t<capture_console>> consoles;
    minihost::host host;
};

// A test with a scratch folder of its own and the component loaded in a host configured there.
class component_dll_test : public ::testing::Test {
protected:
    scratch_folder folder{test_folder_name("dll")};
    component_run run{component_path, folder.file("config.bin")};
};

// What minihost.exe wrote to standard output (and, when asked, standard error) and its exit status.
struct minihost_run {
    std::string output;
    int status = -1;
};

inline minihost_run run_minihost_with_status(const std::string& arguments, bool with_errors = false) {
    // Under Wine the first process that needs the desktop starts it, and it keeps the standard
    // handles it was started with: were minihost.exe the first, the desktop would hold the pipe's
    // write end and the read would never end. Made here, it holds this process's handles instead.
    GetDesktopWindow();
    const std::string command = beside_executable("minihost.exe") + " " + arguments + (with_errors ? " 2>&1" : "");
    FILE* pipe = _popen(command.c_str(), "r");
    if (pipe == nullptr) return {"(cannot start minihost.exe)", -1};
    minihost_run run;
    char buffer[256];
    while (size_t got = std::fread(buffer, 1, sizeof buffer, pipe)) run.output.append(buffer, got);
    run.status = _pclose(pipe);
    run.output.erase(std::remove(run.output.begin(), run.output.end(), '\r'), run.output.end());
    return run;
}

// Whether `text` holds `part`; a failure shows both.
inline ::testing::AssertionResult contains(const std::string& text, const std::string& part) {
    if (text.find(part) != std::string::npos) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "no \"" << part << "\" in:\n" << text;
}

inline size_t count_of(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

inline std::string window_text(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return zorb::utf8_from_wide(text);
}

inline std::string list_cell(HWND list, int row, int column) {
    wchar_t text[256] = {};
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 256;
    SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return zorb::utf8_from_wide(text);
}

// The top-level window of this thread with this class and title, or null.
inline HWND thread_window(const wchar_t* class_name, const wchar_t* title) {
    HWND found = FindWindowW(class_name, title);
    return found && GetWindowThreadProcessId(found, nullptr) == GetCurrentThreadId() ? found : nullptr;
}

// Handles this thread's messages for `milliseconds` (at least once) as the main window's loop does,
// the host's modeless windows getting their dialog keys.
inline void pump_for(int milliseconds, minihost::host* host = nullptr) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(milliseconds);
    do {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (host && host->modeless_dialogs().dispatch(&message)) continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(2);
    } while (GetTickCount() < end);
}

// Pumps messages as pump_for does until `done` holds or `milliseconds` have passed; false on the time-out.
inline bool pump_until(const std::function<bool()>& done, minihost::host* host = nullptr, int milliseconds = 20000) {
    for (int waited = 0; waited < milliseconds; waited += 10) {
        if (done()) return true;
        pump_for(10, host);
    }
    return done();
}

// Runs `open`, which shows a modal dialog titled `title` on this thread, while `drive` works that
// dialog from a thread of its own; `drive` must end the dialog. False when no such dialog appeared.
inline bool with_modal_dialog(const wchar_t* title, const std::function<void()>& open,
                              const std::function<void(HWND)>& drive) {
    const DWORD opener = GetCurrentThreadId();
    std::atomic<bool> found{false};
    std::thread driver([&] {
        for (int attempt = 0; attempt < 1000 && !found; ++attempt) {
            HWND dialog = FindWindowW(L"#32770", title);
            // Visible only once WM_INITDIALOG has set it up.
            if (dialog && GetWindowThreadProcessId(dialog, nullptr) == opener && IsWindowVisible(dialog)) {
                found = true;
                drive(dialog);
            } else {
                Sleep(10);
            }
        }
    });
    open();
    driver.join();
    return found;
}

}  // namespace test_support
