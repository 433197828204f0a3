// The host's user-interface control: what a component may ask of the host's own windows.
#pragma once

#include "host/service.h"

// A singleton of the host; called on the host's user-interface thread. Raises nothing.
class ui_control : public service_base {
public:
    static constexpr GUID class_guid = {0x2DC57FF7, 0x476D, 0x42F5, {0xA0, 0x5A, 0x60, 0x49, 0x98, 0x96, 0x13, 0x4A}};
    using parent_t = service_base;

    // Shows `text` (UTF-8) in the host's status line in place of its own text, until the next
    // override or revert_status_text (as a menu shows the description of its highlighted item).
    virtual void override_status_text(const char* text) = 0;
    // Gives the status line back its own text; nothing when no override is shown.
    virtual void revert_status_text() = 0;
};
