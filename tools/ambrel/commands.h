// Subcommands of the `ambrel` tool. Each takes the arguments after its name
// and returns the process exit status.
#pragma once

#include <string>
#include <vector>

#include "module.h"

typedef std::vector<std::string> argument_list;

int command_info(const argument_list &arguments);

// Reads a whole file. On failure prints "FILE: reason" to standard error and
// returns false.
bool read_whole_file(const std::string &path, std::vector<u8> &contents);

// Loads a module into a zeroed context; on failure prints
// "FILE: Unsupported file format" (or the allocation failure) and returns the exit status.
int load_module_file(const std::string &path, module_context &context);
