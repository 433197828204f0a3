// minihost.exe's commands for the component's settings: the preferences window and the advanced
// settings.
#pragma once

#include "minihost/app/command_line.h"

namespace minihost {

// preferences [--close-after S]
int preferences_command(command_context& context, const arguments_t& arguments);
// advconfig list | advconfig set NAME VALUE
int advconfig_command(command_context& context, const arguments_t& arguments);

}  // namespace minihost
