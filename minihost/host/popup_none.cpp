#include "minihost/host/popup.h"

namespace minihost {

popup_presenter message_box_popups(host_api&) { return print_popups(stdout); }

}  // namespace minihost
