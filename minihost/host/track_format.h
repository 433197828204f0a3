// The host's title-formatting compiler service: patterns compiled by titleformat.h and run over a
// track's location and information record, with the fields that components' display field
// providers publish.
#pragma once

#include <string>

#include "host/host_api.h"
#include "host/titleformat.h"
#include "minihost/host/titleformat.h"

namespace minihost {

// The fields of a track as patterns see them, asked in this order:
// - path (the display path), filename (the file name without its extension), filename_ext,
//   subsong, length (m:ss, none when unknown), playback_time and ispaused (none: no track plays
//   while a pattern is run outside playback);
// - codec, bitrate, samplerate, channels and every other technical field of the record;
// - the fields of the display field providers (only when a track is given);
// - the meta fields of the record.
// `track` may be null: no provider fields.
class track_field_source final : public titleformat::field_source {
public:
    track_field_source(host_api& api, const playable_location& location, const file_info* info,
                       const metadb_handle_ptr* track)
        : api_(api), location_(location), info_(info), track_(track) {}
    void get_field(std::string_view name, titleformat::field_values& values) const override;

private:
    bool provider_field(std::string_view name, titleformat::field_values& values) const;

    host_api& api_;
    const playable_location& location_;
    const file_info* info_;
    const metadb_handle_ptr* track_;
};

// The host's titleformat_compiler over `api`'s services.
service_ptr make_titleformat_compiler(host_api& api);

// `pattern` compiled and run over `track`, providers' fields included. Raises the syntax error.
std::string format_track(host_api& api, const std::string& pattern, const metadb_handle_ptr& track);

}  // namespace minihost
