#include "minihost/host/command_settings.h"

namespace minihost {

command_settings command_settings::over(const command_settings& session) const {
    command_settings combined = *this;
    combined.web_map.insert(combined.web_map.end(), session.web_map.begin(), session.web_map.end());
    if (combined.folder.empty()) combined.folder = session.folder;
    return combined;
}

bool parse_web_mapping(const std::string& text, web_mapping& out, std::string& error) {
    for (size_t equals = text.find('='); equals != std::string::npos; equals = text.find('=', equals + 1)) {
        const std::string to = text.substr(equals + 1);
        if (!to.starts_with("http://") && !to.starts_with("https://")) continue;
        if (equals == 0) break;
        out = {text.substr(0, equals), to};
        return true;
    }
    error = "--web-map needs URL=URL or *=URL, the second an http:// or https:// URL, not " + text;
    return false;
}

std::string resolve_web_url(const std::vector<web_mapping>& map, const std::string& url) {
    for (const web_mapping& mapping : map)
        if (mapping.from == url || mapping.from == "*") return mapping.to;
    return url;
}

}  // namespace minihost
