#include "minihost/gui/element_layout.h"

#include <algorithm>

#include "host/guid_records.h"

namespace minihost {
namespace {

int clamp_to_int(uint32_t value) { return value > 0x7FFFFFFF ? 0x7FFFFFFF : int(value); }

}  // namespace

int element_area_height(const std::vector<ui_element_min_max_info>& limits) {
    if (limits.empty()) return 0;
    int lowest = 0x7FFFFFFF, highest = 0;
    for (const ui_element_min_max_info& each : limits) {
        highest = std::max(highest, clamp_to_int(each.min_height));
        lowest = std::min(lowest, clamp_to_int(each.max_height));
    }
    int inner = std::min(element_area_preferred_height, lowest);
    inner = std::max(inner, highest);
    return inner + 2 * element_area_frame;
}

int element_area_min_width(const std::vector<ui_element_min_max_info>& limits) {
    int width = element_area_frame;
    for (const ui_element_min_max_info& each : limits) width += clamp_to_int(each.min_width) + element_area_frame;
    return width;
}

std::vector<box> arrange_elements(int width, int height, const std::vector<ui_element_min_max_info>& limits) {
    const size_t count = limits.size();
    std::vector<int> widths(count, -1);
    int remaining = std::max(0, width - element_area_frame * int(count + 1));
    size_t open = count;
    // Fix the elements whose limits the equal share passes, until the share fits all the others.
    while (open > 0) {
        const int share = remaining / int(open);
        bool fixed = false;
        for (size_t i = 0; i < count; ++i) {
            if (widths[i] >= 0) continue;
            const int low = clamp_to_int(limits[i].min_width), high = clamp_to_int(limits[i].max_width);
            if (share > high || share < low) {
                widths[i] = share > high ? high : low;
                remaining -= widths[i];
                --open;
                fixed = true;
            }
        }
        if (fixed) continue;
        size_t left = open;
        for (size_t i = 0; i < count; ++i) {
            if (widths[i] >= 0) continue;
            // The last open element takes what the division left over.
            widths[i] = --left == 0 ? std::max(remaining - share * int(open - 1), 0) : share;
        }
        open = 0;
    }
    std::vector<box> boxes;
    int x = element_area_frame;
    const int inner_height = std::max(0, height - 2 * element_area_frame);
    for (size_t i = 0; i < count; ++i) {
        const int tall = std::clamp(inner_height, std::min(clamp_to_int(limits[i].min_height), inner_height),
                                    clamp_to_int(limits[i].max_height));
        boxes.push_back({x, element_area_frame, x + widths[i], element_area_frame + std::min(tall, inner_height)});
        x += widths[i] + element_area_frame;
    }
    return boxes;
}

std::vector<uint8_t> layout_bytes(const std::vector<ui_element_config>& elements) {
    std::vector<uint8_t> bytes;
    for (const ui_element_config& each : elements)
        host_guid::append_record(bytes, each.get_guid(), each.get_data(), uint32_t(each.get_data_size()));
    return bytes;
}

std::vector<ui_element_config> parse_layout(const std::vector<uint8_t>& bytes) {
    std::vector<ui_element_config> elements;
    size_t position = 0;
    host_guid::record_view record;
    while (host_guid::next_record(bytes.data(), bytes.size(), position, record))
        elements.emplace_back(record.guid, std::vector<uint8_t>(record.data, record.data + record.length));
    return elements;
}

}  // namespace minihost
