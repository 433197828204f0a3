// The sample commands of the host's context menu: the popup group "Sample component" and its six
// commands (myitem).
#pragma once

#include <string>

#include "helpers/menu_impl.h"

namespace ambrel {

constexpr GUID guid_context_group = {0x572DE7F4, 0xCBDF, 0x479A, {0x97, 0x26, 0x0A, 0xB0, 0x97, 0x47, 0x69, 0xE3}};
constexpr char context_group_name[] = "Sample component";
constexpr double context_group_priority = 0.0;

class myitem : public contextmenu_item_simple {
public:
    unsigned get_num_items() override;
    void get_item_name(unsigned index, zorb::string_base& out) override;
    GUID get_item_guid(unsigned index) override;
    bool get_item_description(unsigned index, zorb::string_base& out) override;
    GUID get_parent() override { return guid_context_group; }

protected:
    bool context_get_display(unsigned index, const metadb_handle_list& data, zorb::string_base& out, unsigned& flags,
                             const GUID& caller) override;
    void context_command(unsigned index, const metadb_handle_list& data, const GUID& caller) override;
};

// What item 0 shows for `count` selected tracks: "Test command : 3 items selected".
std::string test_command_display(size_t count);

// The test command's text: a first line, then, for a selection, "Parameters:" and one track line
// each.
std::string test_command_text(const metadb_handle_list& data);

}  // namespace ambrel
