// Popups as message boxes.
#include <windows.h>

#include "minihost/host/popup.h"
#include "zorb/unicode.h"

namespace minihost {
namespace {

UINT icon_style(unsigned icon) {
    switch (icon) {
        case popup_icon_information:
            return MB_ICONINFORMATION;
        case popup_icon_error:
            return MB_ICONERROR;
        case popup_icon_warning:
            return MB_ICONWARNING;
        default:
            return 0;
    }
}

}  // namespace

popup_presenter message_box_popups(host_api& api) {
    return [&api](const std::string& title, const std::string& message, unsigned icon) {
        MessageBoxW(static_cast<HWND>(api.get_main_window()), zorb::wide_from_utf8(message).c_str(),
                    zorb::wide_from_utf8(title).c_str(), MB_OK | icon_style(icon));
    };
}

}  // namespace minihost
