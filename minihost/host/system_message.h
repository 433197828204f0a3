// The system's own text for an error code.
#pragma once

#include <initializer_list>
#include <string>

namespace minihost {

// The system's message for `code` (a GetLastError value), looked up in each of `modules` (HMODULEs;
// null ones are passed over) and then in the system's table; trailing line breaks and full stops
// go. "Windows error N" when none knows the code.
std::string system_message(unsigned long code, std::initializer_list<void*> modules = {});

}  // namespace minihost
