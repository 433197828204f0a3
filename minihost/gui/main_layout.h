// Where the main window's parts go, and the place and size it keeps between runs: arithmetic only.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace minihost {

struct box {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const box&) const = default;
};

// The client area from top to bottom: the bands placed at the top (a playback bar), the playlist,
// the bands placed at the bottom (an element area), the status bar; each band as tall as it asks
// and as wide as the window. When the height runs short the playlist gives way first, then the
// bottom bands from the last one up; nothing gets a negative height.
struct main_layout {
    std::vector<box> top_bands;
    box playlist;
    std::vector<box> bottom_bands;
    box status;
};
main_layout arrange_main_window(int width, int height, const std::vector<int>& top_heights,
                                const std::vector<int>& bottom_heights, int status_height);

// The main window's place (screen pixels) as the profile keeps it.
struct window_placement {
    int left = 0, top = 0, width = 0, height = 0;
    bool maximized = false;
    bool operator==(const window_placement&) const = default;
};

// "LEFT TOP WIDTH HEIGHT MAXIMIZED\n" in decimal, MAXIMIZED 0 or 1.
std::string placement_text(const window_placement& place);
// False for a text that does not read so, or a width or height below 1.
bool parse_placement(std::string_view text, window_placement& out);
// The place within `screen` (a monitor's work area) nearest to `kept`: no larger than the screen,
// and moved just far enough to lie on it whole, so that a window kept on a monitor that has gone
// comes back into sight.
window_placement fit_on_screen(window_placement kept, const box& screen);

}  // namespace minihost
