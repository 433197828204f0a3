// Preferences pages as the host shows them in its preferences window, and the host's version
// information that the help addresses are made from.
#pragma once

#include <cstdint>

#include "host/host_api.h"
#include "host/service.h"
#include "host/service_lookup.h"
#include "zorb/string.h"

// Bits of a page instance's state.
constexpr uint32_t preferences_state_changed = 1;                 // the page shows something not yet applied
constexpr uint32_t preferences_state_needs_restart = 2;           // applying takes effect after a restart
constexpr uint32_t preferences_state_needs_restart_playback = 4;  // applying takes effect when playback restarts
constexpr uint32_t preferences_state_resettable = 8;              // reset does something

// The host's side of a shown page. Called on the preferences window's thread; raises nothing.
class preferences_page_callback : public service_base {
public:
    static constexpr GUID class_guid = {0x8B3E1C04, 0x2F6D, 0x4E0A, {0xB1, 0x5C, 0x77, 0x0E, 0xA2, 0x93, 0x4D, 0x61}};
    using parent_t = service_base;

    // The page's state may have changed: the host asks for it again.
    virtual void state_changed() = 0;
};

// A page while the host shows it. Released when the page is left; its window goes with it. Called
// on the preferences window's thread. apply and reset raise what storing or showing the values
// raises; the host reports it and keeps the window open.
class preferences_page_instance : public service_base {
public:
    static constexpr GUID class_guid = {0x5A77C1F2, 0x3B90, 0x4C6E, {0x9D, 0x04, 0x18, 0xE3, 0x6F, 0x5B, 0xA0, 0x2C}};
    using parent_t = service_base;

    // preferences_state_* bits.
    virtual uint32_t page_state() = 0;
    virtual host_window page_window() = 0;
    virtual void apply() = 0;
    virtual void reset() = 0;
};

// A page of the host's preferences window: a singleton, called on the host's main thread. Texts go
// out into the host's string objects, whole. Raises nothing unless an operation says so.
class preferences_page : public service_base {
public:
    static constexpr GUID class_guid = {0xE1C0A9D6, 0x4B2F, 0x4D83, {0x8A, 0x61, 0x0C, 0x5D, 0x27, 0x9E, 0x3B, 0x47}};
    using parent_t = service_base;

    // A page window of the old kind, without an instance; pages that only make instances raise
    // zorb::exception_not_implemented.
    virtual host_window create_old_style(host_window parent) = 0;
    virtual void page_name(zorb::string_base& out) = 0;
    virtual GUID page_guid() = 0;
    virtual GUID parent_guid() = 0;
    virtual bool can_reset_directly() = 0;
    virtual void reset_directly() = 0;
    // The address of the page's help; false when there is none.
    virtual bool help_url(zorb::string_base& out) = 0;
    virtual double sort_priority() = 0;
};

class preferences_page_v3 : public preferences_page {
public:
    static constexpr GUID class_guid = {0x2D94F0B8, 0x6A1C, 0x4F35, {0xA7, 0xE2, 0x51, 0x8C, 0x03, 0x6B, 0xD4, 0x9A}};
    using parent_t = preferences_page;
    using service_class_t = preferences_page;

    // Creates the page's window as a child of `parent` and hands over the instance with one
    // reference; the page keeps `callback` as long as the instance lives. Raises exception_win32
    // when the window cannot be created, and what the page meets while filling it.
    virtual service_ptr_t<preferences_page_instance> create_page_instance(host_window parent,
                                                                          preferences_page_callback& callback) = 0;
};

// The host's name and version, as shown to people and used in help addresses. Any thread; raises nothing.
class core_version_info : public service_base {
public:
    static constexpr GUID class_guid = {0x6E0B37D1, 0xC84A, 0x4A9F, {0x93, 0x2B, 0x5F, 0xD0, 0x71, 0xE6, 0x28, 0xBC}};
    using parent_t = service_base;

    // The version text, such as "1.0"; no blanks or slashes.
    virtual void version_text(zorb::string_base& out) = 0;
};

// Where the host's help lives; the version text and the topic follow.
constexpr char host_help_site[] = "https://help.velmora.org/";

// The host's standard help address of a topic:
// site + version + "/" + category + "/" + GUID as text + "/" + name. False, `out` untouched,
// when the host tells no version.
inline bool host_help_url(host_api& api, const char* category, const GUID& guid, const char* name,
                          zorb::string_base& out) {
    service_ptr_t<core_version_info> version;
    if (!service_try_lookup_one_t(api, version)) return false;
    zorb::string8 version_text;
    version->version_text(version_text);
    const std::string url =
        std::string(host_help_site) + version_text.str() + "/" + category + "/" + host_guid::to_text(guid) + "/" + name;
    out.set_string(url.c_str(), url.size());
    return true;
}
