#include "helpers/file_list.h"

#include <algorithm>

namespace file_list_helper {

file_list_from_metadb_handle_list::file_list_from_metadb_handle_list(const metadb_handle_list& tracks) {
    for (const metadb_handle_ptr& track : tracks)
        if (track) paths_.emplace_back(track->get_path());
    std::sort(paths_.begin(), paths_.end());  // std::string compares bytes as unsigned char
    paths_.erase(std::unique(paths_.begin(), paths_.end()), paths_.end());
}

}  // namespace file_list_helper
