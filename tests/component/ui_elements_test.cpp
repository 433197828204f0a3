// The layout elements' rules: the dialog element's flags, configuration bytes, limits and size line;
// the sample element's bump walk and flash pattern.
#include <gtest/gtest.h>

#include "sample/ui/element_rules.h"
#include "sample/ui/ui_elements.h"

namespace {

using namespace ambrel;
constexpr uint32_t unlimited = ui_element_min_max_info::unlimited;

TEST(DialogElementRules, ConfigurationBytesAndBoxes) {
    const std::pair<std::vector<uint8_t>, uint32_t> cases[] = {
        {{3, 0, 0}, 0}, {{3, 0, 0, 0}, 3}, {{1, 2, 3, 4, 5}, 0x04030201}, {{0xFF, 0, 0, 0x80}, 0x800000FF}};
    for (const auto& [bytes, flags] : cases) EXPECT_EQ(lock_flags_from(bytes), flags) << bytes.size();
    EXPECT_EQ(lock_flags_bytes(0x0A0B0C0D), (std::vector<uint8_t>{0x0D, 0x0C, 0x0B, 0x0A}));
    const std::pair<int, uint32_t> boxes[] = {{1013, 0}, {1014, 1}, {1015, 2}, {1016, 4}, {1017, 8}, {1018, 0}};
    for (const auto& [box, flag] : boxes) EXPECT_EQ(lock_flag_of_box(box), flag) << box;
}

TEST(DialogElementRules, LimitsInPixelsWithTheFrame) {
    struct limits_case {
        uint32_t flags;
        int dpi_x, dpi_y, frame_width, frame_height;
        ui_element_min_max_info expected;
    };
    const limits_case cases[] = {{3, 96, 96, 6, 8, {206, unlimited, 208, unlimited}},
                                 {12, 144, 144, 6, 8, {6, 606, 8, 608}},
                                 // Each axis with its own DPI; a DPI below 1 counts as 96.
                                 {15, 120, 0, 0, 0, {250, 500, 200, 400}},
                                 {1, 97, 96, 0, 0, {202, unlimited, 0, unlimited}},  // 202.08 rounds down
                                 {4, 99, 96, 0, 0, {0, 413, 0, unlimited}},          // 412.5 rounds up
                                 // A frame that would be negative adds nothing.
                                 {3, 96, 96, -4, -1, {200, unlimited, 200, unlimited}}};
    for (const limits_case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.flags << " @" << c.dpi_x << "x" << c.dpi_y);
        const ui_element_min_max_info got = lock_limits(c.flags, c.dpi_x, c.dpi_y, c.frame_width, c.frame_height);
        EXPECT_EQ(std::vector<uint32_t>({got.min_width, got.max_width, got.min_height, got.max_height}),
                  std::vector<uint32_t>(
                      {c.expected.min_width, c.expected.max_width, c.expected.min_height, c.expected.max_height}));
    }
    EXPECT_EQ(size_line(332, 170, 144, 144), "Current size: 221x113 units, 332x170 pixels");
    EXPECT_EQ(size_line(3, 5, 192, 192), "Current size: 2x3 units, 3x5 pixels");  // 1.5 and 2.5 round up
    EXPECT_EQ(size_line(332, 170, 0, 144), "Current size: 332x170 pixels");
}

TEST(SampleElementRules, FlashShowsTwiceThenStopsAndBumpTakesTheFirstInstanceTheHostShows) {
    const flash_action steps[] = {flash_action::hide, flash_action::show, flash_action::hide_and_stop,
                                  flash_action::none};
    for (int step = 1; step <= 4; ++step) EXPECT_EQ(flash_step(step), steps[step - 1]) << step;
    struct bump_case {
        std::vector<bump_candidate> instances;
        std::vector<bool> host_shows;
        int expected;
        std::vector<size_t> asked;
    };
    const bump_case cases[] = {{{{false, true}, {false, true}}, {false, true}, 1, {0, 1}},
                               {{{false, true}, {false, true}}, {true, true}, 0, {0}},
                               // Instances being destroyed or without a window are never asked.
                               {{{true, true}, {false, false}, {false, true}}, {true, true, true}, 2, {2}},
                               {{{false, true}, {false, true}}, {false, false}, -1, {0, 1}}};
    for (const bump_case& c : cases) {
        std::vector<size_t> asked;
        const int got = bump_target(c.instances, [&](size_t index) {
            asked.push_back(index);
            return bool(c.host_shows[index]);
        });
        EXPECT_EQ(got, c.expected);
        EXPECT_EQ(asked, c.asked);
    }
}

}  // namespace
