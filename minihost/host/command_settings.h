// What the options of a command tell the host's services while that command runs: given on
// minihost's own command line they hold for the whole session (every line of a script), given on a
// script line for that line only, on top of the session's.
#pragma once

#include <string>
#include <vector>

namespace minihost {

// A redirection of the web client: requests for `from` go to `to`; `from` "*" stands for every URL.
struct web_mapping {
    std::string from;
    std::string to;
};

struct command_settings {
    std::vector<web_mapping> web_map;  // --web-map, in the order given
    std::string folder;                // --folder: the folder picker's answer (UTF-8); empty: none

    // These settings (a script line's) over `session`'s: the line's web mappings come first, the
    // line's folder replaces the session's.
    command_settings over(const command_settings& session) const;
};

// "FROM=TO" as --web-map takes it, split at the first "=" that "http://" or "https://" follows (a
// URL may hold "=" itself). False with `error` set when there is no such "=" or FROM is empty.
bool parse_web_mapping(const std::string& text, web_mapping& out, std::string& error);

// Where a request for `url` goes: the `to` of the first mapping whose `from` is `url` or "*"; `url`
// itself when none matches.
std::string resolve_web_url(const std::vector<web_mapping>& map, const std::string& url);

}  // namespace minihost
