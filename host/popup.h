// The host's popup message service: a text with a title, shown to the person at the host.
#pragma once

#include <cstddef>

#include "host/service.h"

// Icon codes of a popup.
constexpr unsigned popup_icon_information = 0;
constexpr unsigned popup_icon_error = 1;
constexpr unsigned popup_icon_warning = 2;

// A singleton of the host. Called on the host's user-interface thread; the host may show the
// message before the call returns (a modal message box) or later. Texts are UTF-8, `length` bytes
// each (no terminating zero needed), copied by the host; line breaks are kept. An unknown icon
// code shows no icon. Raises nothing.
class popup_message : public service_base {
public:
    static constexpr GUID class_guid = {0xD5CAC75A, 0x3023, 0x4DCE, {0x8B, 0x0D, 0xB5, 0x02, 0xBD, 0x05, 0x6A, 0x7C}};
    using parent_t = service_base;

    virtual void show(const char* message, size_t message_length, const char* title, size_t title_length,
                      unsigned icon) = 0;
};
