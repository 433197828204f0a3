#include "helpers/track_text.h"

#include "helpers/client.h"

namespace ambrel {

std::string display_path(const char* path) {
    zorb::string8 out;
    filesystem::g_get_display_path(host(), path, out);
    return out.str();
}

std::string track_line(const metadb_handle_ptr& track) {
    if (!track) return "[invalid location]";
    std::string line(1, '"');
    line.append(display_path(track->get_path())).push_back('"');
    if (const uint32_t subsong = track->get_subsong_index(); subsong != 0)
        line.append(" / index: ").append(std::to_string(subsong));
    return line;
}

}  // namespace ambrel
