// minihost.exe library, format and properties: the media library, title formatting and the track
// properties view on the command line.
#pragma once

#include "minihost/app/command_line.h"

namespace minihost {

// library add PATH... | library list | library remove PATH...
int library_command(command_context& context, const arguments_t& arguments);
// format PATTERN FILE...
int format_command(command_context& context, const arguments_t& arguments);
// properties FILE...
int properties_command(command_context& context, const arguments_t& arguments);

}  // namespace minihost
