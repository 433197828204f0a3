// The columns of the main window's playlist and the text of each cell.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "host/metadb.h"

namespace minihost {

struct playlist_column {
    const char* title;
    int width;  // pixels at 96 dots per inch
    bool right_aligned;
};

// File name, format, length, the technical fields (sample rate, channels, bits, bitrate), path.
const std::vector<playlist_column>& playlist_columns();

// The text of `column` for `track`: the path's file name (with "[subsong N]" after it for a subsong
// other than 0), the extension in upper case, the length, each technical field with its unit, the
// local path as the host shows it. Fields the host does not know are empty.
std::string playlist_cell(const metadb_handle& track, size_t column);

}  // namespace minihost
