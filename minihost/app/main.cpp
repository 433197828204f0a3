// minihost.exe: loads a component the way velmora does and runs one command on it.
#include <cstdio>
#include <iostream>

#include "minihost/app/command_line.h"
#include "minihost/host/component_library.h"

#ifdef _WIN32
#include <windows.h>

#include <atomic>

namespace {

std::atomic<minihost::process_runner*> abortable_processes{nullptr};

// Ctrl+C and Ctrl+Break abort the threaded processes that offer an abort; with none running they
// end minihost as usual. Called on a thread of the system's.
BOOL WINAPI on_console_break(DWORD kind) {
    if (kind != CTRL_C_EVENT && kind != CTRL_BREAK_EVENT) return FALSE;
    minihost::process_runner* processes = abortable_processes.load();
    return processes != nullptr && processes->abort_all();
}

// Lets Ctrl+C reach the processes of `running` while it lives.
struct console_break_scope {
    explicit console_break_scope(minihost::host& running) {
        abortable_processes = &running.processes();
        SetConsoleCtrlHandler(on_console_break, TRUE);
    }
    ~console_break_scope() {
        SetConsoleCtrlHandler(on_console_break, FALSE);
        abortable_processes = nullptr;
    }
};

}  // namespace
#endif

int main() {
    minihost::command_options options;
    std::string error;
    if (!minihost::parse_command_line(minihost::command_line_arguments(), minihost::executable_directory(), options,
                                      error)) {
        std::fprintf(stderr, "minihost: %s\n%s", error.c_str(), minihost::usage_text().c_str());
        return 2;
    }
    try {
        minihost::component_library library(options.component_path);
        minihost::host host(minihost::profile(options.profile_folder, options.config_path));
        host.add_service(console_receiver::class_guid, minihost::make_stdout_console());
        host.start(library.binding());
#ifdef _WIN32
        console_break_scope console_break(host);
#endif
        const int status =
            minihost::run_command(host, *options.chosen, options.arguments, {}, options.settings, std::cout);
        host.stop();
        return status;
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "minihost: %s\n", failure.what());
        return 1;
    }
}
