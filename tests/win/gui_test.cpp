// minihost's main window and the component's list-control demos, shown for real under Wine with the
// real DLL and driven by their messages: the menu bar against the main menu, the context menu of a
// selection, the owner-data, advanced and simple lists, and the window session from start to stop.
#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "minihost/gui/element_layout.h"
#include "minihost/gui/main_window.h"
#include "minihost/gui/menu_bar_win32.h"
#include "minihost/gui/playback_bar.h"
#include "minihost/host/properties_window.h"
#include "tests/component/input_fixture.h"
#include "tests/win/component_run.h"

namespace {

using namespace test_support;

const std::string component_path = beside_executable("kiv_ambrel.dll");
const GUID dialog_element = {0x078CA1D7, 0x4E3A, 0x41D5, {0xA5, 0xEF, 0x9D, 0x1A, 0xF7, 0xD5, 0x79, 0xD0}};
constexpr int demo_list_id = 1200;
constexpr int demo_status_id = 1201;

int list_count(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

void select_rows(HWND list, std::initializer_list<int> rows) {
    LVITEMW clear = {};
    clear.stateMask = LVIS_SELECTED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&clear));
    for (int row : rows) {
        LVITEMW item = {};
        item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    }
}

// The menu as print_menu_tree writes a menu tree; the menu bar's letters ("&File") left out.
void print_win32_menu(HMENU menu, int depth, std::string& out) {
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[256] = {};
        MENUITEMINFOW info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_SUBMENU | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = 256;
        GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
        out += std::string(static_cast<size_t>(depth) * 2, ' ');
        if (info.fType & MFT_SEPARATOR) {
            out += "----\n";
            continue;
        }
        std::string shown = zorb::utf8_from_wide(text);
        if (depth == 0 && shown.starts_with("&")) shown.erase(0, 1);
        for (size_t at = shown.find("&&"); at != std::string::npos; at = shown.find("&&", at + 1)) shown.erase(at, 1);
        out += shown + (info.fState & MFS_CHECKED ? " [ticked]" : "") +
               (info.fState & MFS_DISABLED ? " [disabled]" : "") + "\n";
        if (info.hSubMenu) print_win32_menu(info.hSubMenu, depth + 1, out);
    }
}

std::string model_text(minihost::host& host) {
    std::ostringstream out;
    minihost::print_menu_tree(minihost::build_main_menu(host), out);
    return out.str();
}

// Every notification code and row of LVN_GETDISPINFO that a window's list asks of it, while spying.
class dispinfo_spy {
public:
    explicit dispinfo_spy(HWND window) : window_(window) {
        spying_ = this;
        original_ = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&dispinfo_spy::proc)));
    }
    ~dispinfo_spy() {
        SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
        spying_ = nullptr;
    }
    std::set<int> rows;

private:
    static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
        if (message == WM_NOTIFY && reinterpret_cast<NMHDR*>(lparam)->code == LVN_GETDISPINFOW)
            spying_->rows.insert(reinterpret_cast<NMLVDISPINFOW*>(lparam)->item.iItem);
        return CallWindowProcW(spying_->original_, window, message, wparam, lparam);
    }
    static inline dispinfo_spy* spying_ = nullptr;
    HWND window_;
    WNDPROC original_ = nullptr;
};

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override { window.create(false); }

    HWND main() const { return static_cast<HWND>(window.window()); }
    HWND playlist() const { return static_cast<HWND>(window.playlist_window()); }
    void run_main_menu(const std::string& path) { test_support::run_main_menu(run.host, path); }
    // The demo window titled `title` of this thread.
    static HWND demo(const char* title) { return thread_window(L"#32770", zorb::wide_from_utf8(title).c_str()); }
    std::string status_of(HWND demo_window) const { return window_text(GetDlgItem(demo_window, demo_status_id)); }
    std::vector<std::string> column(HWND list, int column_index) const {
        std::vector<std::string> cells;
        for (int row = 0; row < list_count(list); ++row) cells.push_back(list_cell(list, row, column_index));
        return cells;
    }

    scratch_folder folder{std::string("gui-") + ::testing::UnitTest::GetInstance()->current_test_info()->name()};
    component_run run{component_path, folder.file("config.bin")};
    minihost::CMainWindow window{run.host};
};

TEST_F(MainWindow, MenuBarShowsTheMainMenuAsItIsWhenEachMenuOpens) {
    HMENU bar = GetMenu(main());
    const auto bar_text = [&] {
        std::string text;
        for (int position = 0; position < GetMenuItemCount(bar); ++position) {
            HMENU menu = GetSubMenu(bar, position);
            SendMessageW(main(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), MAKELPARAM(position, FALSE));
            wchar_t name[64] = {};
            GetMenuStringW(bar, static_cast<UINT>(position), name, 64, MF_BYPOSITION);
            text += zorb::utf8_from_wide(name + 1) + "\n";  // without the letter's "&"
            print_win32_menu(menu, 1, text);
        }
        return text;
    };
    const std::string empty = bar_text();
    EXPECT_EQ(empty, model_text(run.host));
    EXPECT_TRUE(contains(empty, "  Remove [disabled]\n"));
    // Opened again with tracks, one of them selected: the Edit commands are enabled now.
    window.add_paths({demo_song("demo.mod"), demo_song("demo.xm")});
    run.host.playlist().select_only({1});
    const std::string filled = bar_text();
    EXPECT_EQ(filled, model_text(run.host));
    EXPECT_TRUE(contains(filled, "  Remove\n"));

    // A highlighted command shows its description in the status bar until the menu closes.
    HWND status = static_cast<HWND>(window.status_bar());
    // The first pane holds the normal text; Wine's bar answers with the simple text for it while it is
    // simple (and with nothing for SB_SIMPLEID).
    const auto status_text = [&] {
        wchar_t text[256] = {};
        SendMessageW(status, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text));
        return zorb::utf8_from_wide(text);
    };
    EXPECT_EQ(status_text(), "2 tracks, 1 selected");
    HMENU edit = GetSubMenu(bar, 1);
    const UINT remove_id = GetMenuItemID(edit, 1);
    SendMessageW(main(), WM_MENUSELECT, MAKEWPARAM(remove_id, MF_STRING), reinterpret_cast<LPARAM>(edit));
    EXPECT_EQ(status_text(), "Removes the selected tracks from the playlist.");
    SendMessageW(main(), WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
    EXPECT_EQ(status_text(), "2 tracks, 1 selected");
    // Choosing it runs it.
    SendMessageW(main(), WM_COMMAND, MAKEWPARAM(remove_id, 0), 0);
    EXPECT_EQ(run.host.playlist().size(), 1u);
    EXPECT_EQ(list_count(playlist()), 1);
}

TEST_F(MainWindow, ContextMenuOfTwoSelectedTracksRunsTheChosenCommandOnThem) {
    ASSERT_EQ(window.add_paths({demo_song("demo.mod"), demo_song("demo.s3m"), demo_song("demo.xm")}), 3u);
    EXPECT_EQ(list_count(playlist()), 3);
    EXPECT_EQ(list_cell(playlist(), 2, 0), "demo.xm");
    select_rows(playlist(), {0, 2});  // as the person does: the playlist hears of it
    EXPECT_EQ(run.host.playlist().selected_indexes(), (std::vector<size_t>{0, 2}));
    popup_recorder recorder(run.host);
    // The keys wait in the queue until the menu's own loop reads them: into "Sample component",
    // onto its first command, chosen.
    for (WPARAM key : {VK_DOWN, VK_RIGHT, VK_RETURN}) PostMessageW(main(), WM_KEYDOWN, key, 0);
    SendMessageW(main(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(playlist()), MAKELPARAM(-1, -1));
    const auto shown = [](const char* name) {
        std::string path = demo_song(name);
        std::replace(path.begin(), path.end(), '/', '\\');
        return "\"" + path + "\"\n";
    };
    EXPECT_EQ(recorder.popups(),
              (std::vector<shown_popup>{
                  {"Blah", "This is a test command.\nParameters:\n" + shown("demo.mod") + shown("demo.xm"),
                   popup_icon_information}}));
}

TEST_F(MainWindow, OpensAgainWhereItWasClosed) {
    MoveWindow(main(), 130, 90, 640, 420, TRUE);
    DestroyWindow(main());
    minihost::CMainWindow again{run.host};
    again.create(false);
    RECT place = {};
    GetWindowRect(static_cast<HWND>(again.window()), &place);
    EXPECT_EQ((std::vector<LONG>{place.left, place.top, place.right, place.bottom}),
              (std::vector<LONG>{130, 90, 770, 510}));
}

// The screen place of the first menu window that shows while a menu runs, which it then closes.
RECT shown_menu_place;
BOOL CALLBACK note_if_menu(HWND window, LPARAM) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (std::wstring(name) != L"#32768" || !IsWindowVisible(window)) return TRUE;
    GetWindowRect(window, &shown_menu_place);
    return FALSE;
}
void CALLBACK note_menu_place(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    EnumThreadWindows(GetCurrentThreadId(), note_if_menu, 0);
    EndMenu();
}

TEST_F(MainWindow, ContextMenuFromTheKeyboardOpensOnThePartOfTheFocusedRowThatShows) {
    ASSERT_EQ(window.add_paths({demo_song("demo.mod"), demo_song("demo.s3m"), demo_song("demo.xm")}), 3u);
    // Narrower than the rows, whose middle lies past the right edge.
    MoveWindow(main(), 0, 0, 420, 300, TRUE);
    select_rows(playlist(), {1});
    shown_menu_place = {};
    SetTimer(nullptr, 0, 200, note_menu_place);
    SendMessageW(main(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(playlist()), MAKELPARAM(-1, -1));
    RECT list, row = {LVIR_BOUNDS, 0, 0, 0};
    GetWindowRect(playlist(), &list);
    SendMessageW(playlist(), LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&row));
    MapWindowPoints(playlist(), nullptr, reinterpret_cast<POINT*>(&row), 2);
    ASSERT_NE(shown_menu_place.right, 0) << "no menu showed";
    EXPECT_GE(shown_menu_place.left, list.left);
    EXPECT_LE(shown_menu_place.left, list.right);
    EXPECT_GE(shown_menu_place.top, row.top);
    EXPECT_LE(shown_menu_place.top, row.bottom);
}

TEST_F(MainWindow, OwnerDataDemoHoldsAMillionRowsAndAsksOnlyForThoseItShows) {
    run_main_menu("Sample component/Owner-data CListControl demo");
    HWND dialog = demo("Owner-data CListControl demo");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), main());
    HWND list = GetDlgItem(dialog, demo_list_id);
    EXPECT_EQ(list_count(list), 1000000);
    {
        dispinfo_spy spy(dialog);
        EXPECT_EQ(list_cell(list, 999999, 1), "Virtual item 1000000");
        EXPECT_EQ(spy.rows, std::set<int>{999999});
        // Jumping to the end draws the last page only.
        spy.rows.clear();
        SendMessageW(list, LVM_ENSUREVISIBLE, 999999, FALSE);
        RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        ASSERT_FALSE(spy.rows.empty());
        EXPECT_GT(*spy.rows.begin(), 999000);
    }
    // Type-to-find: a digit typed goes to the first row whose number starts with it; a longer
    // prefix is answered the same way (the list asks its parent, LVN_ODFINDITEM, for both).
    SetFocus(list);
    SendMessageW(list, WM_CHAR, L'7', 1);  // 1: typed once
    EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED), 6);
    LVFINDINFOW find = {};
    find.flags = LVFI_STRING | LVFI_PARTIAL | LVFI_WRAP;
    find.psz = L"5000";
    EXPECT_EQ(SendMessageW(list, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)), 4999);
    EXPECT_EQ(SendMessageW(list, LVM_FINDITEMW, 5000, reinterpret_cast<LPARAM>(&find)), 49999);
    // Rows added to the selection one by one: Wine's list view walks every row to clear a selection.
    for (int row : {3, 4}) {
        LVITEMW item = {};
        item.stateMask = item.state = LVIS_SELECTED;
        SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    }
    EXPECT_EQ(status_of(dialog), "1,000,000 rows, 3 selected; type a row's number to go to it");
    // Its command again brings the same window forward; Escape closes it through the host's loop.
    run_main_menu("Sample component/Owner-data CListControl demo");
    EXPECT_EQ(demo("Owner-data CListControl demo"), dialog);
    EXPECT_EQ(run.host.modeless_dialogs().windows(), std::vector<host_window>{dialog});
    PostMessageW(list, WM_KEYDOWN, VK_ESCAPE, 0);
    pump_for(200, &run.host);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_TRUE(run.host.modeless_dialogs().windows().empty());
}

TEST_F(MainWindow, AdvancedDemoEditsTicksCyclesReordersAndRemovesItsTasks) {
    run_main_menu("Sample component/Advanced CListControl demo");
    HWND dialog = demo("Advanced CListControl demo");
    ASSERT_NE(dialog, nullptr);
    HWND list = GetDlgItem(dialog, demo_list_id);
    const std::vector<std::string> first = column(list, 0);
    ASSERT_GE(first.size(), 5u);

    // In-place editing: what is typed becomes the name; blanks alone are refused.
    const auto edit = [&](int row, const wchar_t* text) {
        SetFocus(list);
        HWND editor = reinterpret_cast<HWND>(SendMessageW(list, LVM_EDITLABELW, row, 0));
        ASSERT_NE(editor, nullptr);
        SetWindowTextW(editor, text);
        SendMessageW(editor, WM_KEYDOWN, VK_RETURN, 0);
    };
    edit(2, L"Renamed task");
    edit(3, L"   ");
    EXPECT_EQ(list_cell(list, 2, 0), "Renamed task");
    EXPECT_EQ(list_cell(list, 3, 0), first[3]);

    // A click on a row's box ticks it; Space ticks the selected rows.
    const auto ticked = [&](int row) {
        return SendMessageW(list, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2);
    };
    const auto click = [&](POINT at) {
        SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
        SendMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
    };
    const auto cell_middle = [&](int row, int subitem) {
        RECT cell = {LVIR_BOUNDS, subitem, 0, 0};
        SendMessageW(list, LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&cell));
        return POINT{(cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2};
    };
    const auto box_of = [&](int row) {
        POINT at = cell_middle(row, 0);
        for (at.x = 0; at.x < 40; ++at.x) {
            LVHITTESTINFO hit = {};
            hit.pt = at;
            SendMessageW(list, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit));
            if (hit.iItem == row && (hit.flags & LVHT_ONITEMSTATEICON)) return at;
        }
        ADD_FAILURE() << "no check box in row " << row;
        return at;
    };
    const bool was_ticked = ticked(1);
    click(box_of(1));
    EXPECT_NE(ticked(1), was_ticked);
    select_rows(list, {4});
    const bool four_was_ticked = ticked(4);
    SendMessageW(list, WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_NE(ticked(4), four_was_ticked);

    // A click on the priority cycles it.
    const std::string priority = list_cell(list, 1, 1);
    click(cell_middle(1, 1));
    EXPECT_NE(list_cell(list, 1, 1), priority);

    // Rows 0 and 1 dragged to below row 3: the list view sees the mouse move away with the button
    // down, reports the drag, and the demo follows the mouse until the button comes up.
    select_rows(list, {0, 1});
    const std::vector<std::string> before = column(list, 0);
    const POINT grab = cell_middle(0, 0);
    POINT drop = cell_middle(3, 0);
    RECT row_box = {LVIR_BOUNDS, 0, 0, 0};
    SendMessageW(list, LVM_GETITEMRECT, 3, reinterpret_cast<LPARAM>(&row_box));
    drop.y = row_box.bottom - 2;  // the lower half: after row 3
    SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(grab.x, grab.y));
    SendMessageW(list, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(grab.x, grab.y + 30));
    ASSERT_EQ(GetCapture(), dialog) << "the drag did not start";
    MapWindowPoints(list, dialog, &drop, 1);
    SendMessageW(dialog, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(drop.x, drop.y));
    EXPECT_EQ(status_of(dialog), "Moving 2 tasks to position 5");
    SendMessageW(dialog, WM_LBUTTONUP, 0, MAKELPARAM(drop.x, drop.y));
    EXPECT_EQ(column(list, 0), (std::vector<std::string>{before[2], before[3], before[0], before[1], before[4],
                                                         before[5], before[6], before[7], before[8], before[9]}));
    EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 2);

    // Delete removes the selected rows.
    SendMessageW(list, WM_KEYDOWN, VK_DELETE, 0);
    EXPECT_EQ(list_count(list), static_cast<int>(before.size()) - 2);
    EXPECT_EQ(column(list, 0)[2], before[4]);
    DestroyWindow(dialog);
}

TEST_F(MainWindow, SimpleDemoShowsThePlaylistSortsByColumnAndCopiesTheSelection) {
    window.add_paths({demo_song("demo.xm"), demo_song("demo.mod")});
    run_main_menu("Sample component/Simple CListControl demo");
    HWND dialog = demo("Simple CListControl demo");
    ASSERT_NE(dialog, nullptr);
    HWND list = GetDlgItem(dialog, demo_list_id);
    EXPECT_EQ(column(list, 0), (std::vector<std::string>{"demo.xm", "demo.mod"}));
    select_rows(list, {0});
    NMLISTVIEW click = {};
    click.hdr = {list, static_cast<UINT_PTR>(demo_list_id), LVN_COLUMNCLICK};
    click.iItem = -1;
    click.iSubItem = 0;
    SendMessageW(dialog, WM_NOTIFY, demo_list_id, reinterpret_cast<LPARAM>(&click));
    EXPECT_EQ(column(list, 0), (std::vector<std::string>{"demo.mod", "demo.xm"}));
    EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 1);  // demo.xm still
    EXPECT_EQ(status_of(dialog), "2 tracks of the playlist, 1 selected");
    DestroyWindow(dialog);
}

TEST_F(MainWindow, PropertiesOfTheSelectionOpenBesideTheWindowAndOnlyWithASelection) {
    window.add_paths({demo_song("demo.xm"), demo_song("demo.mod")});
    const auto properties_shown = [] { return thread_window(L"minihost properties", L"Properties"); };
    run.host.playlist().select_only({});
    EXPECT_THROW(run_main_menu("Edit/Properties"), std::exception);  // disabled: nothing to show
    EXPECT_EQ(properties_shown(), nullptr);

    run.host.playlist().select_only({1});
    run_main_menu("Edit/Properties");
    HWND shown = properties_shown();
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(GetWindow(shown, GW_OWNER), main());
    HWND list = GetDlgItem(shown, minihost::CPropertiesWindow::list_id);
    const std::vector<std::string> names = column(list, 0), values = column(list, 1);
    EXPECT_NE(std::find(names.begin(), names.end(), "Location"), names.end());
    EXPECT_TRUE(std::any_of(values.begin(), values.end(),
                            [](const std::string& value) { return value.find("demo.mod") != std::string::npos; }));
    DestroyWindow(shown);
}

TEST_F(MainWindow, PlaybackBarPlaysTheSelectedTrackPausesAndStops) {
    using minihost::CPlaybackBar;
    window.add_paths({demo_song("demo.mod"), demo_song("demo.xm")});
    run.host.playlist().select_only({1});
    minihost::dsp_chain chain(run.host);
    CPlaybackBar bar(run.host, window, &chain);
    bar.create();
    HWND line = GetDlgItem(static_cast<HWND>(bar.window()), CPlaybackBar::position_id);
    const auto click = [&](int id) {
        SendMessageW(static_cast<HWND>(bar.window()), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(static_cast<HWND>(bar.window()), id)));
    };
    EXPECT_EQ(window_text(line), "Stopped.");

    click(CPlaybackBar::play_id);
    bar.play_on(300);
    minihost::playback_engine& engine = run.host.playback();
    ASSERT_TRUE(engine.is_playing());
    EXPECT_TRUE(std::string(engine.now_playing()->get_path()).ends_with("demo.xm"));
    EXPECT_GT(engine.position(), 0);
    EXPECT_TRUE(window_text(line).starts_with("Playing: demo.xm  0:0")) << window_text(line);

    click(CPlaybackBar::pause_id);
    EXPECT_TRUE(engine.is_paused());
    EXPECT_TRUE(window_text(line).starts_with("Paused: demo.xm")) << window_text(line);
    click(CPlaybackBar::previous_id);  // the track before the one playing
    bar.play_on(50);
    EXPECT_TRUE(std::string(engine.now_playing()->get_path()).ends_with("demo.mod"));
    click(CPlaybackBar::stop_id);
    EXPECT_FALSE(engine.is_playing());
    EXPECT_EQ(window_text(line), "Stopped.");
}

TEST(MainWindowSession, ClosingStopsTheHostOnceAndKeepsPlaylistAndPlace) {
    scratch_folder folder("gui-session");
    const std::string profile = "--profile " + folder.file("profile") + " ";
    const minihost_run first =
        run_minihost_with_status(profile + "gui " + demo_song("demo.mod") + " " + demo_song("demo.xm") +
                                     " --select 2 --run \"Sample component/Advanced CListControl demo\" --close-after 1"
                                     " --layout \"Sample UI Element,Sample Dialog as UI Element\"",
                                 true);
    EXPECT_EQ(first.status, 0) << first.output;
    EXPECT_EQ(count_of(first.output, "kiv_ambrel component: on_init()\n"), 1u) << first.output;
    EXPECT_EQ(count_of(first.output, "kiv_ambrel component: on_quit()\n"), 1u) << first.output;
    EXPECT_TRUE(std::filesystem::exists(zorb::native_path(folder.file("profile/minihost.cfg"))));
    const std::vector<uint8_t> kept = read_bytes(folder.file("profile/playlist.txt"));
    const std::string text(kept.begin(), kept.end());
    EXPECT_TRUE(contains(text, "-\t0\tfile://"));
    EXPECT_TRUE(contains(text, "+\t0\tfile://"));
    EXPECT_TRUE(contains(text, "demo.xm\n"));
    EXPECT_FALSE(read_bytes(folder.file("profile/main_window.txt")).empty());
    const std::vector<ui_element_config> layout = minihost::parse_layout(read_bytes(folder.file("profile/layout.bin")));
    ASSERT_EQ(layout.size(), 2u);
    EXPECT_EQ(layout[1].get_guid(), dialog_element);

    // Without files the kept playlist comes back as it was.
    const minihost_run second = run_minihost_with_status(profile + "gui --close-after 1", true);
    EXPECT_EQ(second.status, 0) << second.output;
    EXPECT_EQ(count_of(second.output, "kiv_ambrel component: on_quit()\n"), 1u) << second.output;
    EXPECT_EQ(read_bytes(folder.file("profile/playlist.txt")), kept);

    // A sub-menu to open that is not there in the kept selection's context menu: said, and the
    // window closes by itself (else this run would never end), stopping the host as ever.
    const minihost_run wrong =
        run_minihost_with_status(profile + "gui --show-context-menu \"Sample component/No such menu\"", true);
    EXPECT_EQ(wrong.status, 1) << wrong.output;
    EXPECT_TRUE(contains(wrong.output, "minihost: Sample component/No such menu names no menu\n"));
    EXPECT_EQ(count_of(wrong.output, "kiv_ambrel component: on_quit()\n"), 1u) << wrong.output;
}

}  // namespace
