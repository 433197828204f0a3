#include "minihost/gui/main_layout.h"

#include <algorithm>
#include <cstdio>

namespace minihost {

main_layout arrange_main_window(int width, int height, const std::vector<int>& top_heights,
                                const std::vector<int>& bottom_heights, int status_height) {
    main_layout layout;
    int top = 0;
    const auto take = [&](int wanted, int room) { return std::clamp(wanted, 0, std::max(room, 0)); };
    const int status = take(status_height, height);
    for (int wanted : top_heights) {
        const int got = take(wanted, height - status - top);
        layout.top_bands.push_back({0, top, width, top + got});
        top += got;
    }
    // The bottom bands are laid from the status bar upwards, so the last one gives way first.
    int bottom = height - status;
    std::vector<box> bottom_bands;
    int wanted_below = 0;
    for (int wanted : bottom_heights) wanted_below += std::max(wanted, 0);
    int room_below = std::min(wanted_below, bottom - top);
    for (int wanted : bottom_heights) {
        const int got = take(wanted, room_below);
        room_below -= got;
        layout.bottom_bands.push_back({0, 0, width, got});
    }
    for (auto band = layout.bottom_bands.rbegin(); band != layout.bottom_bands.rend(); ++band) {
        const int got = band->bottom;
        *band = {0, bottom - got, width, bottom};
        bottom -= got;
    }
    layout.playlist = {0, top, width, std::max(bottom, top)};
    layout.status = {0, height - status, width, height};
    return layout;
}

std::string placement_text(const window_placement& place) {
    char text[96];
    std::snprintf(text, sizeof text, "%d %d %d %d %d\n", place.left, place.top, place.width, place.height,
                  place.maximized ? 1 : 0);
    return text;
}

bool parse_placement(std::string_view text, window_placement& out) {
    const std::string copy(text);
    window_placement read;
    int maximized = 0, consumed = 0;
    if (std::sscanf(copy.c_str(), "%d %d %d %d %d%n", &read.left, &read.top, &read.width, &read.height, &maximized,
                    &consumed) != 5)
        return false;
    if (copy.find_first_not_of(" \r\n", static_cast<size_t>(consumed)) != std::string::npos) return false;
    if (read.width < 1 || read.height < 1 || (maximized != 0 && maximized != 1)) return false;
    read.maximized = maximized == 1;
    out = read;
    return true;
}

window_placement fit_on_screen(window_placement kept, const box& screen) {
    kept.width = std::min(kept.width, screen.right - screen.left);
    kept.height = std::min(kept.height, screen.bottom - screen.top);
    kept.left = std::clamp(kept.left, screen.left, screen.right - kept.width);
    kept.top = std::clamp(kept.top, screen.top, screen.bottom - kept.height);
    return kept;
}

}  // namespace minihost
