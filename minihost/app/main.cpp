// minihost.exe: loads a component the way velmora does and runs one command on it.
#include <cstdio>
#include <iostream>

#include "minihost/app/command_line.h"
#include "minihost/host/component_library.h"

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
        const int status =
            minihost::run_command(host, *options.chosen, options.arguments, {}, options.settings, std::cout);
        host.stop();
        return status;
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "minihost: %s\n", failure.what());
        return 1;
    }
}
