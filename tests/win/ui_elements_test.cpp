// The component's two layout elements as the DLL makes them, placed in a window of the test with a
// host callback of the test's own, and driven by their messages under Wine.
#include <gtest/gtest.h>

#include "host/service_lookup.h"
#include "host/ui_element.h"
#include "tests/win/component_run.h"

namespace {

using namespace test_support;

const std::string component_path = beside_executable("kiv_ambrel.dll");
const GUID sample_element = {0xB46DC166, 0x88F3, 0x4B45, {0x9F, 0x77, 0xAB, 0x33, 0xF4, 0xC3, 0xF2, 0xE4}};
const GUID dialog_element = {0x078CA1D7, 0x4E3A, 0x41D5, {0xA5, 0xEF, 0x9D, 0x1A, 0xF7, 0xD5, 0x79, 0xD0}};
constexpr UINT_PTR flash_timer = 0x47F42DD0;

// The host's side as the test plays it: colours it may or may not give, activations it allows, and
// what the elements told it.
class test_callback : public ui_element_instance_callback {
public:
    bool query_color(const GUID& what, uint32_t& out) override {
        if (!give_colors) return false;
        out = what == ui_color_ids::background ? RGB(200, 10, 20) : RGB(0, 0, 255);
        return true;
    }
    void* query_font(const GUID&) override { return nullptr; }
    bool request_activation(ui_element_instance*) override {
        ++asked;
        return allow_activation;
    }
    void element_clicked(ui_element_instance* instance) override { clicked.push_back(instance); }
    void limits_changed(ui_element_instance*) override { ++limit_changes; }

    bool give_colors = false;
    bool allow_activation = true;
    int asked = 0;
    int limit_changes = 0;
    std::vector<ui_element_instance*> clicked;
};

class LayoutElements : public ::testing::Test {
protected:
    void SetUp() override {
        parent = CreateWindowExW(0, L"STATIC", L"elements", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 40, 40,
                                 640, 400, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(parent, nullptr);
    }
    void TearDown() override {
        instances.clear();
        DestroyWindow(parent);
        pump_for(0);
    }
    service_ptr_t<ui_element> element(const GUID& guid) {
        for (size_t index = 0; index < service_count_t<ui_element>(run.host); ++index) {
            service_ptr_t<ui_element> each = service_create_at_t<ui_element>(run.host, index);
            if (each->get_guid() == guid) return each;
        }
        return {};
    }
    service_ptr_t<test_callback> make_callback() {
        return service_ptr_t<test_callback>(new service_impl_t<test_callback>());
    }
    // An instance placed at `x` in the parent, 200 by 120 pixels.
    ui_element_instance& place(const GUID& guid, const ui_element_config& config, service_ptr_t<test_callback> callback,
                               int x = 0) {
        instances.push_back(element(guid)->instantiate(parent, config, callback));
        MoveWindow(static_cast<HWND>(instances.back()->get_wnd()), x, 0, 200, 120, TRUE);
        UpdateWindow(static_cast<HWND>(instances.back()->get_wnd()));
        return *instances.back();
    }
    static COLORREF corner_colour(ui_element_instance& instance) {
        return test_support::corner_colour(static_cast<HWND>(instance.get_wnd()));
    }

    scratch_folder folder{std::string("elements-") + ::testing::UnitTest::GetInstance()->current_test_info()->name()};
    component_run run{component_path, folder.file("config.bin")};
    HWND parent = nullptr;
    std::vector<service_ptr_t<ui_element_instance>> instances;
};

TEST_F(LayoutElements, SampleElementPaintsInTheHostColoursOrTheSystemOnes) {
    auto without = make_callback(), with = make_callback();
    with->give_colors = true;
    ui_element_instance& plain = place(sample_element, {sample_element, {}}, without);
    ui_element_instance& coloured = place(sample_element, {sample_element, {}}, with, 220);
    EXPECT_EQ(corner_colour(plain), GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(corner_colour(coloured), RGB(200, 10, 20));
    // A colours-changed notification repaints with what the host gives now.
    with->give_colors = false;
    coloured.notify(ui_element_notify_ids::colors_changed, 0, nullptr, 0);
    UpdateWindow(static_cast<HWND>(coloured.get_wnd()));
    HDC context = GetDC(static_cast<HWND>(coloured.get_wnd()));
    EXPECT_EQ(GetPixel(context, 2, 2), GetSysColor(COLOR_WINDOW));
    ReleaseDC(static_cast<HWND>(coloured.get_wnd()), context);
    // A left click hands the instance to the host.
    SendMessageW(static_cast<HWND>(plain.get_wnd()), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_EQ(without->clicked, std::vector<ui_element_instance*>{&plain});
    EXPECT_TRUE(with->clicked.empty());
}

TEST_F(LayoutElements, BumpFlashesTheFirstInstanceTheHostCanShow) {
    service_ptr_t<ui_element_v2> sample = element(sample_element).query_as<ui_element_v2>();
    ASSERT_TRUE(sample);
    EXPECT_FALSE(sample->bump());  // no instance
    auto refuses = make_callback(), allows = make_callback();
    refuses->allow_activation = false;
    place(sample_element, {sample_element, {}}, refuses);
    ui_element_instance& second = place(sample_element, {sample_element, {}}, allows, 220);
    ASSERT_TRUE(sample->bump());
    EXPECT_EQ(refuses->asked, 1);
    HWND flash = flash_overlay();
    ASSERT_NE(flash, nullptr);
    RECT over, target;
    GetWindowRect(flash, &over);
    GetWindowRect(static_cast<HWND>(second.get_wnd()), &target);
    EXPECT_TRUE(EqualRect(&over, &target));
    EXPECT_TRUE(IsWindowVisible(flash));
    // The timer's ticks: hidden, shown, hidden for good.
    const bool expected[] = {false, true, false, false};
    for (bool visible : expected) {
        SendMessageW(flash, WM_TIMER, flash_timer, 0);
        EXPECT_EQ(bool(IsWindowVisible(flash)), visible);
    }
    // Hiding the layout during a flash hides the overlay at once, and the timer stays still.
    ASSERT_TRUE(sample->bump());
    EXPECT_TRUE(IsWindowVisible(flash));
    second.notify(ui_element_notify_ids::visibility_changed, 0, nullptr, 0);
    EXPECT_FALSE(IsWindowVisible(flash));
    EXPECT_FALSE(KillTimer(flash, flash_timer));
    // With no instance the host can show, nothing flashes.
    allows->allow_activation = false;
    EXPECT_FALSE(sample->bump());
}

TEST_F(LayoutElements, DialogElementLocksAndKeepsItsFlags) {
    auto callback = make_callback();
    // Two data bytes are too short for the flags: every box starts cleared.
    ui_element_instance& short_data = place(dialog_element, {dialog_element, {3, 0}}, callback);
    HWND dialog = static_cast<HWND>(short_data.get_wnd());
    for (int box = 1014; box <= 1017; ++box) EXPECT_EQ(IsDlgButtonChecked(dialog, box), BST_UNCHECKED) << box;
    EXPECT_EQ(short_data.get_configuration().bytes(), (std::vector<uint8_t>{0, 0, 0, 0}));

    // A box clicked twice: its bit comes and goes, and the host hears of both changes.
    SendDlgItemMessageW(dialog, 1015, BM_CLICK, 0, 0);
    EXPECT_EQ(short_data.get_configuration().bytes(), (std::vector<uint8_t>{2, 0, 0, 0}));
    SendDlgItemMessageW(dialog, 1015, BM_CLICK, 0, 0);
    EXPECT_EQ(short_data.get_configuration().bytes(), (std::vector<uint8_t>{0, 0, 0, 0}));
    EXPECT_EQ(callback->limit_changes, 2);

    // Flags 3 at the screen's DPI: the minimums of 200 units plus the dialog's frame, no maximums.
    short_data.set_configuration({dialog_element, {3, 0, 0, 0}});
    EXPECT_EQ(callback->limit_changes, 3);
    EXPECT_EQ(IsDlgButtonChecked(dialog, 1014), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dialog, 1016), BST_UNCHECKED);
    HDC screen = GetDC(nullptr);
    const int dpi_x = GetDeviceCaps(screen, LOGPIXELSX), dpi_y = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    RECT frame = {0, 0, 10, 10};
    AdjustWindowRectEx(&frame, DWORD(GetWindowLongW(dialog, GWL_STYLE)), FALSE,
                       DWORD(GetWindowLongW(dialog, GWL_EXSTYLE)));
    const ui_element_min_max_info limits = short_data.get_min_max_info();
    EXPECT_EQ(limits.min_width, uint32_t(MulDiv(200, dpi_x, 96) + frame.right - frame.left - 10));
    EXPECT_EQ(limits.min_height, uint32_t(MulDiv(200, dpi_y, 96) + frame.bottom - frame.top - 10));
    EXPECT_EQ(limits.max_width, ui_element_min_max_info::unlimited);
    EXPECT_EQ(limits.max_height, ui_element_min_max_info::unlimited);

    // The size line follows the element's size.
    MoveWindow(dialog, 0, 0, 300, 150, TRUE);
    RECT client;
    GetClientRect(dialog, &client);
    const std::string size_line = window_text(GetDlgItem(dialog, 1018));
    EXPECT_TRUE(size_line.ends_with(std::to_string(client.right) + "x" + std::to_string(client.bottom) + " pixels"))
        << size_line;
}

}  // namespace
