// Console lines: handed to every console receiver of the host, and only while the host's services
// are initialised; at other times they are dropped without a failure.
#pragma once

#include <string_view>

namespace ambrel {

void console_print(std::string_view line);

}  // namespace ambrel
