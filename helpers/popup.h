// Popup messages through the host's popup message service.
#pragma once

#include <string_view>

#include "host/popup.h"

namespace ambrel {

// Shows `message` titled `title` through the host's popup service, looked up tolerantly: when the
// host has none (or no single one), nothing is shown. On the host's user-interface thread.
void popup_message_show(std::string_view message, std::string_view title, unsigned icon = popup_icon_information);

}  // namespace ambrel
