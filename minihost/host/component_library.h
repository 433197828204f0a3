// Loading a component DLL and the few facts about the process that the command line needs.
#pragma once

#include <string>
#include <vector>

#include "minihost/host/host.h"

namespace minihost {

class component_library {
public:
    // Loads the DLL at `path` (UTF-8) and finds its export; raises zorb::exception when either fails.
    explicit component_library(const std::string& path);
    ~component_library();
    component_library(const component_library&) = delete;
    component_library& operator=(const component_library&) = delete;

    const component_binding& binding() const { return binding_; }

private:
    component_binding binding_{};
};

// The program's arguments without its own name, as UTF-8.
std::vector<std::string> command_line_arguments();
// The folder of the running executable, UTF-8, with a trailing separator.
std::string executable_directory();

}  // namespace minihost
