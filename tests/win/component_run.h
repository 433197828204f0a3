// Loading a component DLL into a minihost host for a test, running minihost.exe, and writing
// configuration records: shared by the tests of the Windows tree.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "minihost/host/component_library.h"
#include "tests/component/host_fixture.h"
#include "zorb/files.h"

namespace test_support {

using lines_t = std::vector<std::string>;

inline std::string beside_executable(const std::string& name) { return minihost::executable_directory() + name; }

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
    lines_t lines() { return consoles.at(0)->lines(); }

    minihost::component_library library;
    std::vector<service_ptr_t<capture_console>> consoles;
    minihost::host host;
};

// What minihost.exe wrote to standard output (and, when asked, standard error) and its exit status.
struct minihost_run {
    std::string output;
    int status = -1;
};

inline minihost_run run_minihost_with_status(const std::string& arguments, bool with_errors = false) {
    // Under Wine the first process that needs the desktop starts the desktop process, and that
    // process keeps the standard handles it was started with for as long as it lives. Were
    // minihost.exe the first, the desktop would hold the write end of the pipe below and the read
    // would never end. The desktop is made here, so it holds this process's own handles instead.
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

// Standard output of minihost.exe with the given arguments.
inline std::string run_minihost(const std::string& arguments) { return run_minihost_with_status(arguments).output; }

inline void write_file(const std::string& path, const std::vector<std::vector<uint8_t>>& parts) {
    std::ofstream file(zorb::native_path(path), std::ios::binary);
    for (const auto& bytes : parts)
        file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

}  // namespace test_support
