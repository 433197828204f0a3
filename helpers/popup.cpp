#include "helpers/popup.h"

#include "helpers/client.h"
#include "host/service_lookup.h"

namespace ambrel {

void popup_message_show(std::string_view message, std::string_view title, unsigned icon) {
    service_ptr_t<popup_message> popup;
    if (!service_try_lookup_one_t(host(), popup)) return;
    popup->show(message.data(), message.size(), title.data(), title.size(), icon);
}

}  // namespace ambrel
