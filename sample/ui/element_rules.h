// What the two layout elements decide, apart from their windows: the dialog element's lock flags,
// its configuration bytes, size limits and size line; the sample element's bump and flash pattern.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/ui_element.h"

namespace ambrel {

// The dialog element's lock flags and the check box of each.
enum lock_flag : uint32_t {
    lock_min_width = 1,   // box 1014, 200 units
    lock_min_height = 2,  // box 1015, 200 units
    lock_max_width = 4,   // box 1016, 400 units
    lock_max_height = 8,  // box 1017, 400 units
};
constexpr int first_lock_box = 1014;
constexpr int lock_box_count = 4;
// The flag of check box `box_id`; 0 for another control.
uint32_t lock_flag_of_box(int box_id);

// The flags a configuration holds: its first 4 bytes, little-endian; shorter data gives 0.
uint32_t lock_flags_from(const std::vector<uint8_t>& data);
std::vector<uint8_t> lock_flags_bytes(uint32_t flags);

// Units (pixels at 96 dots per inch) as pixels at `dpi`, rounded to the nearest; a dpi below 1
// counts as 96.
uint32_t units_to_pixels(uint32_t units, int dpi);

// The limits the flags give at the screen's DPI, with the window's frame (the difference between its
// window and client sizes, never negative) added to both minimums and to each limited maximum.
ui_element_min_max_info lock_limits(uint32_t flags, int dpi_x, int dpi_y, int frame_width, int frame_height);

// "Current size: WxH units, WxH pixels" for a client area of `width` by `height` pixels; without
// the units when a DPI is not positive.
std::string size_line(int width, int height, int dpi_x, int dpi_y);

// The overlay of a bump: shown at tick 0 (the bump), hidden at 1, shown at 2, hidden at 3 when the
// timer stops.
enum class flash_action { hide, show, hide_and_stop, none };
flash_action flash_step(unsigned tick);

// Bump across the live instances in registry order: the first that is neither being destroyed nor
// without a window and that `activate` shows. Its index, or -1 for none.
struct bump_candidate {
    bool destroying;
    bool has_window;
};
int bump_target(const std::vector<bump_candidate>& instances, const std::function<bool(size_t index)>& activate);

}  // namespace ambrel
