// The host's web client (http_client): GET and friends over the system's HTTP client, WinHTTP.
#pragma once

#include "host/http.h"
#include "minihost/host/command_settings.h"

namespace minihost {

// The web client; each request looks its URL up in `settings`' web map when it runs (`settings`
// must outlive the client). Empty in a build without WinHTTP: the host then has no web client.
service_ptr make_web_client(const command_settings& settings);

}  // namespace minihost
