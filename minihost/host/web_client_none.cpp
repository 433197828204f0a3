#include "minihost/host/web_client.h"

namespace minihost {

service_ptr make_web_client(const command_settings&) { return {}; }

}  // namespace minihost
