// The host's track properties view: rows of text by group, from the host and from property
// providers. Called on the host's user-interface thread.
#pragma once

#include "host/metadb.h"
#include "host/service.h"

// Where a provider reports its rows. Texts are copied.
class track_property_callback {
public:
    // One row: its group, its place in the group (lower first), name and value.
    virtual void set_property(const char* group, double sort_priority, const char* name, const char* value) = 0;
    // Whether the view shows `group` at all; a provider may skip the work for one it does not.
    virtual bool is_group_wanted(const char* group) = 0;

protected:
    ~track_property_callback() = default;
};

class track_property_provider : public service_base {
public:
    static constexpr GUID class_guid = {0x1D9A4E27, 0x6B0C, 0x4F38, {0xA2, 0x75, 0xC8, 0x31, 0x0E, 0x9F, 0x46, 0xB5}};
    using parent_t = service_base;

    // Reports the rows for `tracks` (entries may be empty). Raises what it meets; the host leaves
    // the provider's rows out and says why.
    virtual void enumerate_properties(const metadb_handle_list& tracks, track_property_callback& out) = 0;
    // Whether the technical field `name` is one this provider shows itself (the host then leaves
    // it out of its own rows).
    virtual bool is_our_tech_info(const char* name) = 0;
};

// Providers that honour is_group_wanted; published under track_property_provider.
class track_property_provider_v2 : public track_property_provider {
public:
    static constexpr GUID class_guid = {0x8B47F0D3, 0x21E6, 0x4C9A, {0x93, 0x5D, 0x0A, 0x6E, 0xB1, 0x72, 0xC4, 0x58}};
    using parent_t = track_property_provider;
    using service_class_t = track_property_provider;

    virtual void enumerate_properties_filtered(const metadb_handle_list& tracks, track_property_callback& out) = 0;
};
