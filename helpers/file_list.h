// The files behind a selection of tracks.
#pragma once

#include <string>
#include <vector>

#include "host/metadb.h"

namespace file_list_helper {

// The paths of the tracks' files, sorted byte-wise ascending, each path once (two subsongs of one
// file give it once); missing tracks give nothing.
class file_list_from_metadb_handle_list {
public:
    explicit file_list_from_metadb_handle_list(const metadb_handle_list& tracks);

    size_t get_count() const { return paths_.size(); }
    const std::string& operator[](size_t index) const { return paths_[index]; }
    auto begin() const { return paths_.begin(); }
    auto end() const { return paths_.end(); }

private:
    std::vector<std::string> paths_;
};

}  // namespace file_list_helper
