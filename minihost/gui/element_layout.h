// The element area of the main window, apart from its windows: where each placed element goes
// within the area's limits, how tall the area is, how narrow the window may become, and the
// profile's file that keeps which elements are placed and their configurations.
#pragma once

#include <string>
#include <vector>

#include "host/ui_element.h"
#include "minihost/gui/main_layout.h"

namespace minihost {

// The area's own frame: this many pixels around the elements and between them.
constexpr int element_area_frame = 4;
// How tall the area is when its elements do not say otherwise.
constexpr int element_area_preferred_height = 160;

// The area's height: the preferred one, raised to the tallest minimum and lowered to the lowest
// maximum of the elements (the minimum winning a conflict), frame included. 0 without elements.
int element_area_height(const std::vector<ui_element_min_max_info>& limits);
// The narrowest the area can be: every element at its minimum, with the frame.
int element_area_min_width(const std::vector<ui_element_min_max_info>& limits);

// The boxes of the elements, left to right, in an area of `width` by `height` pixels: the width is
// shared out equally, an element that reaches its maximum or minimum keeping that and the others
// sharing the rest; each is as tall as the area allows within its own limits.
std::vector<box> arrange_elements(int width, int height, const std::vector<ui_element_min_max_info>& limits);

// The placed elements as the profile keeps them: one GUID-tagged record per element, in order,
// holding its configuration's data. Damaged data yields the elements read before it.
std::vector<uint8_t> layout_bytes(const std::vector<ui_element_config>& elements);
std::vector<ui_element_config> parse_layout(const std::vector<uint8_t>& bytes);

}  // namespace minihost
