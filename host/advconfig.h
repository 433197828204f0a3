// The host's advanced settings: a tree of branches and entries, each a service of the advconfig_entry
// class; the host queries each for the branch or the entry kind it knows. Every operation is called
// on the host's main thread and raises nothing; texts go out into the host's string objects, whole.
#pragma once

#include <cstdint>
#include <string>

#include "host/service.h"
#include "zorb/string.h"

class advconfig_entry : public service_base {
public:
    static constexpr GUID class_guid = {0x9A1E5D37, 0x20C6, 0x4B8F, {0x8E, 0x4D, 0x36, 0xA2, 0x7B, 0x0F, 0xC9, 0x51}};
    using parent_t = service_base;

    virtual void entry_name(zorb::string_base& out) = 0;
    virtual GUID entry_guid() = 0;
    // The branch the entry sits in.
    virtual GUID entry_parent() = 0;
    // Back to the default value.
    virtual void reset_entry() = 0;
    // Lower first among siblings.
    virtual double entry_priority() = 0;
};

class advconfig_branch : public advconfig_entry {
public:
    static constexpr GUID class_guid = {0x0C7F42A8, 0xE93B, 0x4D16, {0xB5, 0x70, 0x2A, 0x8D, 0x61, 0xF4, 0x03, 0xEE}};
    using parent_t = advconfig_entry;
    using service_class_t = advconfig_entry;
};

// Kinds of value an entry shown as text holds.
constexpr uint32_t advconfig_kind_text = 0;
constexpr uint32_t advconfig_kind_unsigned = 1;
constexpr uint32_t advconfig_kind_signed = 2;

// An entry whose value the host shows and edits as text.
class advconfig_entry_string : public advconfig_entry {
public:
    static constexpr GUID class_guid = {0x4B62E0F5, 0x17A9, 0x4C3D, {0x86, 0x1F, 0xD7, 0x35, 0x9C, 0x0A, 0x4E, 0x28}};
    using parent_t = advconfig_entry;
    using service_class_t = advconfig_entry;

    virtual void value_text(zorb::string_base& out) = 0;
    // Takes a value typed by the user; an entry adjusts what it cannot hold rather than refusing.
    virtual void set_value_text(const char* text, size_t length) = 0;
    // advconfig_kind_*.
    virtual uint32_t value_kind() = 0;
};

class advconfig_entry_string_v2 : public advconfig_entry_string {
public:
    static constexpr GUID class_guid = {0xD58C3A19, 0x6F04, 0x4E7B, {0x9B, 0x92, 0x0E, 0x4F, 0xC1, 0x68, 0x2D, 0xB3}};
    using parent_t = advconfig_entry_string;
    using service_class_t = advconfig_entry;

    virtual void default_text(zorb::string_base& out) = 0;
    // Rewrites `text` as the value set_value_text would store for it.
    virtual void coerce_text(zorb::string_base& text) = 0;
    // Bits telling when a change takes effect; 0 at once.
    virtual uint32_t preference_flags() = 0;
};

// An entry the host shows as a check box.
class advconfig_entry_checkbox : public advconfig_entry {
public:
    static constexpr GUID class_guid = {0xA01571A2, 0xB29B, 0x44F3, {0xB5, 0xE4, 0x4F, 0xDF, 0x56, 0xCE, 0x80, 0x4D}};
    using parent_t = advconfig_entry;
    using service_class_t = advconfig_entry;

    virtual bool get_state() = 0;
    virtual void set_state(bool checked) = 0;
};
