// The host's playlist as a component sees it: the tracks in their order and which of them the
// person has selected.
#pragma once

#include <cstddef>

#include "host/metadb.h"
#include "host/service.h"

// A singleton of the host. Every operation is called on the host's user-interface thread and
// raises nothing; the playlist may change between two calls (the person adds or removes tracks),
// so a caller that walks it asks for the count first and copies what it needs.
class playlist_manager : public service_base {
public:
    static constexpr GUID class_guid = {0x7ACA6208, 0x1328, 0x452B, {0x8D, 0xC6, 0x10, 0x9B, 0x34, 0x51, 0xB7, 0x89}};
    using parent_t = service_base;

    // How many tracks the playlist holds.
    virtual size_t get_item_count() = 0;
    // The track at `index`, with one reference owned by the caller; an empty pointer when `index`
    // is not below the count.
    virtual metadb_handle_ptr get_item(size_t index) = 0;
    // Whether the track at `index` is selected; false past the end.
    virtual bool is_item_selected(size_t index) = 0;
    // Replaces the content of `out` with the selected tracks, in playlist order.
    virtual void get_selected_items(metadb_handle_list& out) = 0;
};
