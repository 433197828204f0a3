// The host's track properties view as rows of text: the host's own rows (the tags, the files'
// location and size, the technical fields) and those of every track property provider, in groups.
#pragma once

#include <string>
#include <vector>

#include "host/host_api.h"
#include "host/metadb.h"

namespace minihost {

struct property_row {
    std::string group;
    double priority;  // order within the group, lower first
    std::string name;
    std::string value;
};

// Groups in the order the view shows them: the host's own first, then the providers' in name order.
constexpr const char* property_group_metadata = "Metadata";
constexpr const char* property_group_location = "Location";
constexpr const char* property_group_general = "General";

// Every row for `tracks`, ordered by group (above), then priority, then the order reported. A
// field or value that differs between the tracks reads "<various>". A provider that raises loses
// its rows; `failed` hears its reason.
std::vector<property_row> track_property_rows(host_api& api, const metadb_handle_list& tracks,
                                              std::vector<std::string>* failed = nullptr);

// The rows as the command line prints them: each group's name, then its rows as "  NAME: VALUE".
std::string property_text(const std::vector<property_row>& rows);

}  // namespace minihost
