// The component's identity: its name, version and the file name it must be installed under.
#pragma once

#include <string_view>

#include "host/identity.h"

namespace ambrel {

constexpr char component_display_name[] = "Ambrel Component";
constexpr char component_version_text[] = "0.66";
constexpr char component_about_text[] = "Copyright (c) 2025 kiv. All rights reserved.";
constexpr char component_expected_file_name[] = "kiv_ambrel.dll";

// True when the file name in `path` (after its last \, /, | or :) is exactly the expected one.
bool installed_under_expected_name(std::string_view path);

// Marks the component's start and end in the host's console.
class ambrel_initquit : public initquit {
public:
    void on_init() override;
    void on_quit() override;
};

class componentversion_myimpl : public componentversion {
public:
    void file_name(zorb::string_base& out) override;
    void component_name(zorb::string_base& out) override;
    void component_version(zorb::string_base& out) override;
    void about_text(zorb::string_base& out) override;
};

class component_installation_validator_filename : public component_installation_validator {
public:
    bool check_installation() override;
};

}  // namespace ambrel
