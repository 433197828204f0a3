// The component's side of the export: the client object the host drives, and what it keeps
// (the host API, the library path, whether the host's services are up).
#pragma once

#include <string>

#include "host/host_api.h"

namespace ambrel {

// The host API kept by the export. Asking before the host has called the export is a
// programming error and ends in uBugCheck.
host_api& host();

// True while the host reports its services initialised.
bool host_services_initialised();
// True once the host has reported its services initialised, also after they have ended again:
// tells "not started yet" from "already shut down".
bool host_services_were_initialised();

// The component's file path and name as the host told them; empty until it has.
std::string library_path();
std::string library_file_name();

// The static client object, after keeping `api` (the export's work).
velmora_client* attach_host(host_api* api);

}  // namespace ambrel
