// minihost's version information for the component (help addresses).
#pragma once

#include "host/preferences.h"

namespace minihost {

constexpr char minihost_version_text[] = "1.0-minihost";

// The host's core_version_info service.
service_ptr make_core_version_info();

}  // namespace minihost
