// The main window's element area as arithmetic: its height, its narrowest width, the boxes of the
// elements within their limits, and the profile's record of the placed elements.
#include <gtest/gtest.h>

#include "minihost/gui/element_layout.h"

namespace {

using minihost::box;
constexpr uint32_t unlimited = ui_element_min_max_info::unlimited;
constexpr int frame = minihost::element_area_frame;

ui_element_min_max_info limits(uint32_t min_width, uint32_t max_width, uint32_t min_height = 0,
                               uint32_t max_height = unlimited) {
    return {min_width, max_width, min_height, max_height};
}

TEST(ElementArea, HeightWithinTheElementsLimits) {
    const int preferred = minihost::element_area_preferred_height;
    const std::pair<std::vector<ui_element_min_max_info>, int> cases[] = {
        {{}, 0},
        {{limits(0, unlimited)}, preferred + 2 * frame},
        {{limits(0, unlimited, 0, 100), limits(0, unlimited)}, 100 + 2 * frame},
        {{limits(0, unlimited, 300), limits(0, unlimited)}, 300 + 2 * frame},
        // A minimum above another's maximum wins.
        {{limits(0, unlimited, 300), limits(0, unlimited, 0, 100)}, 300 + 2 * frame},
    };
    for (const auto& [each, height] : cases) EXPECT_EQ(minihost::element_area_height(each), height) << each.size();
    EXPECT_EQ(minihost::element_area_min_width({limits(206, unlimited), limits(0, 50)}), 206 + 3 * frame);
}

TEST(ElementArea, WidthSharedWithinLimits) {
    struct share_case {
        int width;
        std::vector<ui_element_min_max_info> elements;
        std::vector<int> widths;
    };
    const int inner = 600 - 3 * frame;  // two elements
    const share_case cases[] = {
        {600, {limits(0, unlimited), limits(0, unlimited)}, {inner / 2, inner - inner / 2}},
        // One held at its maximum: the other takes the rest.
        {600, {limits(0, 100), limits(0, unlimited)}, {100, inner - 100}},
        // One held at its minimum.
        {600, {limits(500, unlimited), limits(0, unlimited)}, {500, inner - 500}},
        // Both at their maximums leave room unused.
        {600, {limits(0, 100), limits(0, 120)}, {100, 120}},
        // Too narrow for the minimums: they keep them.
        {100, {limits(80, unlimited), limits(90, unlimited)}, {80, 90}},
        {600, {}, {}},
    };
    for (const share_case& c : cases) {
        const std::vector<box> boxes = minihost::arrange_elements(c.width, 200, c.elements);
        ASSERT_EQ(boxes.size(), c.widths.size());
        int x = frame;
        for (size_t i = 0; i < boxes.size(); ++i) {
            EXPECT_EQ(boxes[i].left, x) << c.width << " #" << i;
            EXPECT_EQ(boxes[i].right - boxes[i].left, c.widths[i]) << c.width << " #" << i;
            x = boxes[i].right + frame;
        }
    }
    // Each element as tall as the area allows within its own limits.
    const std::vector<box> boxes =
        minihost::arrange_elements(600, 200, {limits(0, unlimited, 0, 50), limits(0, unlimited, 300)});
    EXPECT_EQ(boxes[0].bottom - boxes[0].top, 50);
    EXPECT_EQ(boxes[1].bottom - boxes[1].top, 200 - 2 * frame);
}

TEST(ElementArea, LayoutRecordsRoundTripAndStopAtDamage) {
    const GUID first = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}}, second = {12, 13, 14, {15, 16, 17, 18, 19, 20, 21, 22}};
    const std::vector<ui_element_config> placed = {{first, {}}, {second, {3, 0, 0, 0}}, {first, {9}}};
    std::vector<uint8_t> bytes = minihost::layout_bytes(placed);
    std::vector<ui_element_config> read = minihost::parse_layout(bytes);
    ASSERT_EQ(read.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(read[i].get_guid(), placed[i].get_guid());
        EXPECT_EQ(read[i].bytes(), placed[i].bytes());
    }
    bytes.pop_back();  // the last record cut short
    read = minihost::parse_layout(bytes);
    EXPECT_EQ(read.size(), 2u);
}

}  // namespace
