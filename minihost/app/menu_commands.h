// minihost.exe context and menu: the context menu for a selection of files and the main menu, as
// the host would show them, listed and run.
#pragma once

#include "minihost/app/command_line.h"

namespace minihost {

// context list FILE... | context run ITEM FILE...
int context_command(command_context& context, const arguments_t& arguments);
// menu list | menu run PATH
int menu_command(command_context& context, const arguments_t& arguments);

// The tracks of `files` as the host keeps them (canonical paths, one track per subsong, their
// information read); a file that cannot be read still gives a track, and its failure is printed to
// standard error.
metadb_handle_list tracks_of_files(host& running, const arguments_t& files);

}  // namespace minihost
