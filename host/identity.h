// Host service classes that identify a component and follow its lifecycle, and the console.
// Each operation is called on the host's main thread unless it says otherwise, and raises nothing;
// text goes out through string objects owned by the caller.
#pragma once

#include <cstddef>

#include "host/service.h"
#include "zorb/string.h"

// Receives console lines; any thread. `text` is one whole line without its line break.
class console_receiver : public service_base {
public:
    static constexpr GUID class_guid = {0xBCE5EF5D, 0xDF6B, 0x44C6, {0x9C, 0x05, 0x88, 0x7D, 0xC6, 0x03, 0xBD, 0xB5}};
    using parent_t = service_base;

    virtual void print(const char* text, size_t length) = 0;
};

// Start-up and shutdown notices: on_init after the services are up, on_quit before they end.
class initquit : public service_base {
public:
    static constexpr GUID class_guid = {0x52FFBF5C, 0x671B, 0x4CD0, {0x83, 0x79, 0x0D, 0x4C, 0xA5, 0x07, 0xDB, 0x00}};
    using parent_t = service_base;

    virtual void on_init() = 0;
    virtual void on_quit() = 0;
};

// Who the component is. Each operation writes its whole text into the host's string object.
class componentversion : public service_base {
public:
    static constexpr GUID class_guid = {0xC715590B, 0x3D35, 0x432F, {0x9D, 0x2D, 0x63, 0x04, 0xB4, 0x1B, 0x5A, 0xEB}};
    using parent_t = service_base;

    virtual void file_name(zorb::string_base& out) = 0;
    virtual void component_name(zorb::string_base& out) = 0;
    virtual void component_version(zorb::string_base& out) = 0;
    virtual void about_text(zorb::string_base& out) = 0;
};

// Tells whether the component's file is installed under the name it expects.
class component_installation_validator : public service_base {
public:
    static constexpr GUID class_guid = {0x8E12EBFE, 0x1B59, 0x4BAA, {0x84, 0x9D, 0xC9, 0x1E, 0x31, 0x3B, 0xB8, 0x19}};
    using parent_t = service_base;

    virtual bool check_installation() = 0;
};
