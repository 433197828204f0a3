#include "sample/ui/element_rules.h"

#include <algorithm>
#include <cmath>

namespace ambrel {

uint32_t lock_flag_of_box(int box_id) {
    return box_id >= first_lock_box && box_id < first_lock_box + lock_box_count ? 1u << (box_id - first_lock_box) : 0;
}

uint32_t lock_flags_from(const std::vector<uint8_t>& data) {
    if (data.size() < 4) return 0;
    return uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 | uint32_t(data[3]) << 24;
}

std::vector<uint8_t> lock_flags_bytes(uint32_t flags) {
    return {uint8_t(flags), uint8_t(flags >> 8), uint8_t(flags >> 16), uint8_t(flags >> 24)};
}

uint32_t units_to_pixels(uint32_t units, int dpi) {
    if (dpi < 1) dpi = 96;
    return uint32_t((uint64_t(units) * uint64_t(dpi) + 48) / 96);
}

ui_element_min_max_info lock_limits(uint32_t flags, int dpi_x, int dpi_y, int frame_width, int frame_height) {
    ui_element_min_max_info limits;
    if (flags & lock_min_width) limits.min_width = units_to_pixels(200, dpi_x);
    if (flags & lock_min_height) limits.min_height = units_to_pixels(200, dpi_y);
    if (flags & lock_max_width) limits.max_width = units_to_pixels(400, dpi_x);
    if (flags & lock_max_height) limits.max_height = units_to_pixels(400, dpi_y);
    const auto frame_x = uint32_t(std::max(frame_width, 0)), frame_y = uint32_t(std::max(frame_height, 0));
    limits.min_width += frame_x;
    limits.min_height += frame_y;
    if (limits.max_width != ui_element_min_max_info::unlimited) limits.max_width += frame_x;
    if (limits.max_height != ui_element_min_max_info::unlimited) limits.max_height += frame_y;
    return limits;
}

std::string size_line(int width, int height, int dpi_x, int dpi_y) {
    std::string line = "Current size: ";
    if (dpi_x > 0 && dpi_y > 0) {
        const auto units = [](int pixels, int dpi) { return std::to_string(std::lround(pixels * 96.0 / dpi)); };
        line += units(width, dpi_x) + "x" + units(height, dpi_y) + " units, ";
    }
    return line + std::to_string(width) + "x" + std::to_string(height) + " pixels";
}

flash_action flash_step(unsigned tick) {
    switch (tick) {
        case 1:
            return flash_action::hide;
        case 2:
            return flash_action::show;
        case 3:
            return flash_action::hide_and_stop;
        default:
            return flash_action::none;
    }
}

int bump_target(const std::vector<bump_candidate>& instances, const std::function<bool(size_t index)>& activate) {
    for (size_t index = 0; index < instances.size(); ++index) {
        if (instances[index].destroying || !instances[index].has_window) continue;
        if (activate(index)) return int(index);
    }
    return -1;
}

}  // namespace ambrel
