// The component's two layout elements as the DLL makes them, in minihost's element area of the main
// window under Wine, driven by their messages: the layout menu, the profile keeping them, their flags
// and size limits in the window, the host's colours, bumps with their flashing overlay, and clicks.
#include <gtest/gtest.h>

#include "host/ui_element.h"
#include "minihost/gui/element_area.h"
#include "minihost/gui/element_layout.h"
#include "minihost/gui/main_window.h"
#include "tests/win/component_run.h"

namespace {

using namespace test_support;

const GUID dialog_element = {0x078CA1D7, 0x4E3A, 0x41D5, {0xA5, 0xEF, 0x9D, 0x1A, 0xF7, 0xD5, 0x79, 0xD0}};
constexpr UINT_PTR flash_timer = 0x47F42DD0;

// One session of the main window with its element area on a profile that outlives it.
struct session {
    session(const std::string& profile_folder) : run(component_path, profile_folder + "\\minihost.cfg") {
        window.create(true);
        area.create();
    }
    void run_main(const std::string& path) { run_main_command(run.host, path); }
    HWND main() const { return static_cast<HWND>(window.window()); }

    component_run run;
    minihost::CMainWindow window{run.host};
    minihost::CElementArea area{run.host, window};
};

class ElementArea : public ::testing::Test {
protected:
    scratch_folder folder{test_folder_name("area")};
};

TEST_F(ElementArea, LayoutMenuPlacesElementsAndTheProfileKeepsThem) {
    {
        session one(folder.file(""));
        one.run_main("View/Layout/Utility/Sample Dialog as UI Element");
        one.run_main("View/Layout/Utility/Sample UI Element");
        ASSERT_EQ(one.area.element_count(), 2u);
        // The dialog element's configuration changes with its boxes and is kept as it is at the end.
        HWND dialog = static_cast<HWND>(one.area.element(0).get_wnd());
        SendDlgItemMessageW(dialog, 1017, BM_CLICK, 0, 0);
        EXPECT_EQ(one.area.element(0).get_configuration().bytes(), (std::vector<uint8_t>{8, 0, 0, 0}));
        SendMessageW(one.main(), WM_CLOSE, 0, 0);
        pump_for(50);
    }
    session two(folder.file(""));
    ASSERT_EQ(two.area.element_count(), 2u);
    EXPECT_EQ(IsDlgButtonChecked(static_cast<HWND>(two.area.element(0).get_wnd()), 1017), BST_CHECKED);
    // The same command removes an element again.
    two.run_main("View/Layout/Utility/Sample UI Element");
    EXPECT_EQ(two.area.element_count(), 1u);
}

TEST_F(ElementArea, DialogElementTakesItsFlagsAndItsLockedLimitsHoldWhenTheWindowIsResized) {
    session one(folder.file(""));
    one.area.set_elements({"Sample Dialog as UI Element", "Sample UI Element"});
    ui_element_instance& dialog = one.area.element(0);
    HWND boxes = static_cast<HWND>(dialog.get_wnd());
    EXPECT_EQ(IsDlgButtonChecked(boxes, 1014), BST_UNCHECKED);
    // Flags 3, minimum width and height locked: 200 units at the screen's DPI plus the dialog's frame,
    // the height above what the area would be by itself.
    // Locked by clicks, the area hears of each change and makes room at once.
    SendDlgItemMessageW(boxes, 1014, BM_CLICK, 0, 0);
    SendDlgItemMessageW(boxes, 1015, BM_CLICK, 0, 0);
    EXPECT_EQ(dialog.get_configuration().bytes(), (std::vector<uint8_t>{3, 0, 0, 0}));
    const ui_element_min_max_info limits = dialog.get_min_max_info();
    RECT area_now;
    GetWindowRect(static_cast<HWND>(one.area.window()), &area_now);
    EXPECT_EQ(area_now.bottom - area_now.top, int(limits.min_height) + 2 * minihost::element_area_frame);
    HDC screen = GetDC(nullptr);
    RECT frame = {};
    AdjustWindowRectEx(&frame, DWORD(GetWindowLongW(boxes, GWL_STYLE)), FALSE,
                       DWORD(GetWindowLongW(boxes, GWL_EXSTYLE)));
    EXPECT_EQ(limits.min_height,
              uint32_t(MulDiv(200, GetDeviceCaps(screen, LOGPIXELSY), 96) + frame.bottom - frame.top));
    ReleaseDC(nullptr, screen);
    // Dragged as narrow as it goes, the window keeps the dialog at its minimum.
    MINMAXINFO track = {};
    SendMessageW(one.main(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&track));
    RECT place;
    GetWindowRect(one.main(), &place);
    SetWindowPos(one.main(), nullptr, 0, 0, track.ptMinTrackSize.x, place.bottom - place.top,
                 SWP_NOMOVE | SWP_NOZORDER);
    pump_for(20);
    RECT dialog_place, area_place;
    GetWindowRect(static_cast<HWND>(dialog.get_wnd()), &dialog_place);
    GetWindowRect(static_cast<HWND>(one.area.window()), &area_place);
    EXPECT_GE(uint32_t(dialog_place.right - dialog_place.left), limits.min_width);
    // The area grows to the dialog's minimum height with the area's frame.
    ASSERT_GT(limits.min_height, uint32_t(minihost::element_area_preferred_height));
    EXPECT_EQ(area_place.bottom - area_place.top, int(limits.min_height) + 2 * minihost::element_area_frame);
    EXPECT_EQ(uint32_t(dialog_place.bottom - dialog_place.top), limits.min_height);
}

TEST_F(ElementArea, ColoursBumpsAndClicks) {
    session one(folder.file(""));
    EXPECT_EQ(failure_text([&] { one.area.set_elements({"No such element"}); }),
              "No UI element is named \"No such element\"");
    one.area.set_elements({"Sample UI Element"});
    ui_element_instance& sample = one.area.element(0);
    HWND element = static_cast<HWND>(sample.get_wnd());
    const auto corner = [&] {  // the colour at (2, 2), drawn afresh
        RedrawWindow(element, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        HDC context = GetDC(element);
        const COLORREF colour = GetPixel(context, 2, 2);
        ReleaseDC(element, context);
        return colour;
    };
    EXPECT_EQ(corner(), GetSysColor(COLOR_WINDOW));
    one.run_main("View/Alternative colours and font");
    EXPECT_NE(corner(), GetSysColor(COLOR_WINDOW));

    // The element's own command bumps it: an overlay over the instance, hidden, shown, hidden for good
    // at the timer's ticks. Which instance a bump takes is the portable tests' business.
    one.run_main("View/Sample UI Element");
    HWND flash = FindWindowW(L"{2E124D52-131F-4004-A569-2316615BE63F}", nullptr);  // the element's overlay
    ASSERT_NE(flash, nullptr);
    RECT over, target;
    GetWindowRect(flash, &over);
    GetWindowRect(element, &target);
    EXPECT_TRUE(EqualRect(&over, &target));
    for (bool visible : {true, false, true, false, false}) {
        EXPECT_EQ(bool(IsWindowVisible(flash)), visible);
        SendMessageW(flash, WM_TIMER, flash_timer, 0);
    }
    // Hiding the area during a flash hides the overlay at once and the timer stays still; a bump
    // shows the area again: the host activates the instance.
    one.run_main("View/Sample UI Element");
    one.run_main("View/Element area");
    EXPECT_FALSE(IsWindowVisible(flash));
    EXPECT_FALSE(KillTimer(flash, flash_timer));
    one.run_main("View/Sample UI Element");
    EXPECT_TRUE(one.area.shown());
    EXPECT_TRUE(IsWindowVisible(flash));

    SendMessageW(element, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    EXPECT_EQ(one.area.clicked(), &sample);
    EXPECT_EQ(GetFocus(), element);
}

}  // namespace
