// The component's identity: its name, version and the file name it must be installed under.
#pragma once

#include <string_view>

namespace ambrel {

constexpr char component_display_name[] = "Ambrel Component";
constexpr char component_version_text[] = "0.66";
constexpr char component_about_text[] = "Copyright (c) 2025 kiv. All rights reserved.";
constexpr char component_expected_file_name[] = "kiv_ambrel.dll";

// True when the file name in `path` (after its last \, /, | or :) is exactly the expected one.
bool installed_under_expected_name(std::string_view path);

}  // namespace ambrel
