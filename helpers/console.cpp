#include "helpers/console.h"

#include "helpers/client.h"
#include "host/identity.h"
#include "host/service_lookup.h"

namespace ambrel {

void console_print(std::string_view line) {
    if (!host_services_initialised()) return;
    host_api& api = host();
    const size_t count = service_count_t<console_receiver>(api);
    for (size_t index = 0; index < count; ++index)
        if (service_ptr_t<console_receiver> receiver = service_create_at_t<console_receiver>(api, index))
            receiver->print(line.data(), line.size());
}

}  // namespace ambrel
