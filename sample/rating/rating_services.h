// What makes the rating store visible: the title-formatting fields, the four cycling context-menu
// commands, "Dump rating database" and the rows of the track properties view.
#pragma once

#include <string>

#include "helpers/menu_impl.h"
#include "host/titleformat.h"
#include "host/track_property.h"

namespace ambrel {

// %kiv_sample_track_rating%, ..._album_rating, ..._track_comment, ..._album_comment,
// ..._track_hash, ..._album_hash.
class metadb_display_field_provider_impl : public metadb_display_field_provider {
public:
    uint32_t get_field_count() override;
    void get_field_name(uint32_t index, zorb::string_base& out) override;
    bool process_field(uint32_t index, const metadb_handle_ptr& track, titleformat_text_out& out) override;
};

// Cycle track rating, Cycle album rating, Cycle track comment, Cycle album comment.
class contextmenu_rating : public contextmenu_item_simple {
public:
    unsigned get_num_items() override;
    void get_item_name(unsigned index, zorb::string_base& out) override;
    GUID get_item_guid(unsigned index) override;
    bool get_item_description(unsigned index, zorb::string_base& out) override;
    GUID get_parent() override;

protected:
    bool context_get_display(unsigned index, const metadb_handle_list& data, zorb::string_base& out, unsigned& flags,
                             const GUID& caller) override;
    void context_command(unsigned index, const metadb_handle_list& data, const GUID& caller) override;
};

// Dump rating database.
class mainmenu_rating : public mainmenu_commands {
public:
    uint32_t get_command_count() override { return 1; }
    GUID get_command(uint32_t index) override;
    void get_name(uint32_t index, zorb::string_base& out) override;
    bool get_description(uint32_t index, zorb::string_base& out) override;
    GUID get_parent() override;
    uint32_t get_sort_priority() override { return 0x80000000u; }
    bool get_display(uint32_t index, zorb::string_base& text, uint32_t& flags) override;
    void execute(uint32_t index, service_ptr callback) override;
};

class track_property_provider_impl : public track_property_provider_v2 {
public:
    void enumerate_properties(const metadb_handle_list& tracks, track_property_callback& out) override;
    bool is_our_tech_info(const char*) override { return false; }
    void enumerate_properties_filtered(const metadb_handle_list& tracks, track_property_callback& out) override;
};

// The commands' work, on the index `index`: each prints its console line and refreshes the changed keys.
void cycle_rating(const GUID& index, const metadb_handle_list& tracks);
void cycle_comment(const GUID& index, const metadb_handle_list& tracks);
// The dump of one index: its key count, then a line per key with its record and library tracks.
std::string dump_index(const GUID& index);
// The whole text "Dump rating database" shows.
std::string dump_text();

}  // namespace ambrel
