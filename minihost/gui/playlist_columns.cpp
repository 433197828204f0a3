#include "minihost/gui/playlist_columns.h"

#include "host/file_info_impl.h"
#include "minihost/host/filesystem.h"
#include "minihost/host/host.h"
#include "minihost/host/input_registry.h"
#include "zorb/time_text.h"

namespace minihost {
namespace {

enum column_index : size_t { file_name, format, length, sample_rate, channels, bits, bitrate, path };

// A technical field with its unit, or empty when the track has none.
std::string field(const file_info& info, const char* name, const char* unit) {
    const size_t index = info.info_find(name);
    if (index == file_info::npos || *info.info_enum_value(index) == '\0') return {};
    return std::string(info.info_enum_value(index)) + unit;
}

}  // namespace

const std::vector<playlist_column>& playlist_columns() {
    static const std::vector<playlist_column> columns = {
        {"File name", 180, false}, {"Format", 60, false}, {"Length", 60, true},  {"Sample rate", 80, true},
        {"Channels", 64, true},    {"Bits", 44, true},    {"Bitrate", 76, true}, {"Path", 320, false},
    };
    return columns;
}

std::string playlist_cell(const metadb_handle& track, size_t column) {
    const std::string local = local_path_of(track.get_path());
    file_info_impl info;
    const bool known = column >= length && column <= bitrate && track.get_info(info);
    std::string extension;
    switch (column) {
        case file_name:
            return file_name_of(local) +
                   (track.get_subsong_index() ? " [subsong " + std::to_string(track.get_subsong_index()) + "]" : "");
        case format:
            extension = extension_of(local);
            for (char& c : extension)
                if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
            return extension;
        case length:
            return known ? zorb::length_text(info.get_length()) : std::string();
        case sample_rate:
            return known ? field(info, "samplerate", " Hz") : std::string();
        case channels:
            return known ? field(info, "channels", "") : std::string();
        case bits:
            return known ? field(info, "bitspersample", "") : std::string();
        case bitrate:
            return known ? field(info, "bitrate", " kbps") : std::string();
        case path:
            return local;
        default:
            return {};
    }
}

}  // namespace minihost
