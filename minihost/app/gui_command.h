// minihost.exe gui: the main window.
#pragma once

#include "minihost/app/command_line.h"

namespace minihost {

// gui [FILE|FOLDER...] [--close-after S] [--run PATH]... [--select ROWS] [--show-menu PATH] [--context-menu] [--show-context-menu PATH]
int gui_command(command_context& context, const arguments_t& arguments);

}  // namespace minihost
