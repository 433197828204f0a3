// minihost.exe script: several commands in one host session.
#pragma once

#include "minihost/app/command_line.h"

namespace minihost {

// script FILE|-: runs the file's lines (standard input's for -) one after the other on the one
// started host, so that the component is loaded once and keeps its state from line to line. Each
// line is a command as minihost takes it, with options of its own over the session's; blank lines
// and lines starting with # are skipped. The script stops at the first line that fails, with that
// line's exit status, after naming the line on standard error.
int script_command(command_context& context, const arguments_t& arguments);

}  // namespace minihost
