// minihost's main window and the component's list-control demos, shown for real under Wine with the
// real DLL and driven by their messages: the menu bar against the main menu, the context menu of a
// selection, the owner-data and advanced lists, the properties window, and the window session from
// start to stop.
#include <gtest/gtest.h>

#include <sstream>

#include "minihost/gui/element_layout.h"
#include "minihost/gui/main_window.h"
#include "tests/win/component_run.h"

namespace {

using namespace test_support;

constexpr int demo_list_id = 1200;

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

class MainWindow : public component_dll_test {
protected:
    void SetUp() override { window.create(false); }

    HWND main() const { return static_cast<HWND>(window.window()); }
    HWND playlist() const { return static_cast<HWND>(window.playlist_window()); }
    void run_main_menu(const std::string& path) { run_main_command(run.host, path); }
    static HWND demo(const char* title) { return thread_window(L"#32770", zorb::wide_from_utf8(title).c_str()); }
    std::vector<std::string> column(HWND list, int column_index) const {
        std::vector<std::string> cells;
        for (int row = 0; row < list_count(list); ++row) cells.push_back(list_cell(list, row, column_index));
        return cells;
    }

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
    EXPECT_TRUE(contains(bar_text(), "  Remove [disabled]\n"));
    // Opened again with tracks, one of them selected: the Edit commands are enabled now.
    window.add_paths({demo_song("demo.mod"), demo_song("demo.xm")});
    run.host.playlist().select_only({1});
    run.host.playlist().set_focus(1);  // the view shows the playlist's focus
    EXPECT_EQ(SendMessageW(playlist(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED), 1);
    std::ostringstream model;
    minihost::print_menu_tree(minihost::build_main_menu(run.host), model);
    EXPECT_EQ(bar_text(), model.str());

    // A highlighted command shows its description in the status bar until the menu closes.
    HWND status = static_cast<HWND>(window.status_bar());
    EXPECT_EQ(GetDlgItem(main(), minihost::CMainWindow::playlist_id), playlist());
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
    // A menu opened by its path: the keys into the sub-menus wait in the queue.
    EXPECT_NO_THROW(window.open_menu("Tools/Sample component"));
}

// The Open dialog offers each input's file types; a folder dialog cancelled adds nothing.
TEST_F(MainWindow, FileDialogsOfferTheInputsTypesAndAddNothingWhenCancelled) {
    popup_recorder recorder(run.host);
    const auto cancel = [](HWND dialog) { PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0); };
    wchar_t type[64] = {};  // the second type, after all supported files
    ASSERT_TRUE(with_modal_dialog(
        L"Open", [&] { run_main_menu("File/Open..."); },
        [&](HWND dialog) {
            SendDlgItemMessageW(dialog, cmb1, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(type));
            cancel(dialog);
        }));
    EXPECT_EQ(zorb::utf8_from_wide(type), "MOD Files (*.mod;*.s3m;*.xm)");
    ASSERT_TRUE(with_modal_dialog(
        L"Browse for Folder", [&] { run_main_menu("File/Add folder..."); }, cancel));
    EXPECT_TRUE(recorder.popups().empty());  // no failure to add an empty path
}

TEST_F(MainWindow, ContextMenuOfTwoSelectedTracksRunsTheChosenCommandOnThem) {
    ASSERT_EQ(window.add_paths({demo_song("demo.mod"), demo_song("demo.s3m"), demo_song("demo.xm")}), 3u);
    select_rows(playlist(), {0, 2});  // as the person does: the playlist hears of it
    popup_recorder recorder(run.host);
    // The keys wait in the queue until the menu's own loop reads them: into "Sample component",
    // onto its first command, chosen.
    for (WPARAM key : {VK_DOWN, VK_RIGHT, VK_RETURN}) PostMessageW(main(), WM_KEYDOWN, key, 0);
    SendMessageW(main(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(playlist()), MAKELPARAM(-1, -1));
    // The command's text itself is the native tests' business: here, that it ran on rows 0 and 2.
    ASSERT_EQ(recorder.popups().size(), 1u);
    const std::string message = recorder.popups()[0].message;  // a copy: popups() returns one
    EXPECT_TRUE(contains(message, "demo.mod\"\n") && contains(message, "demo.xm\"\n")) << message;
    EXPECT_FALSE(contains(message, "demo.s3m"));
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

TEST_F(MainWindow, OwnerDataDemoHoldsAMillionRowsFindsTypedNumbersAndClosesOnEscape) {
    run_main_menu("Sample component/Owner-data CListControl demo");
    HWND dialog = demo("Owner-data CListControl demo");
    ASSERT_NE(dialog, nullptr);
    HWND list = GetDlgItem(dialog, demo_list_id);
    EXPECT_EQ(list_count(list), 1000000);
    EXPECT_EQ(list_cell(list, 999999, 1), "Virtual item 1000000");
    // Type-to-find: the list asks its parent (LVN_ODFINDITEM) for the row a typed digit starts.
    SetFocus(list);
    SendMessageW(list, WM_CHAR, L'7', 1);  // 1: typed once
    EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED), 6);
    // Its command again brings the same window forward; Escape closes it through the host's loop.
    run_main_menu("Sample component/Owner-data CListControl demo");
    EXPECT_EQ(demo("Owner-data CListControl demo"), dialog);
    EXPECT_EQ(run.host.modeless_dialogs().windows(), std::vector<host_window>{dialog});
    PostMessageW(list, WM_KEYDOWN, VK_ESCAPE, 0);
    pump_for(200, &run.host);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_TRUE(run.host.modeless_dialogs().windows().empty());
    // Closed, it opens anew.
    run_main_menu("Sample component/Owner-data CListControl demo");
    EXPECT_TRUE(IsWindow(demo("Owner-data CListControl demo")));
    DestroyWindow(demo("Owner-data CListControl demo"));
}

TEST_F(MainWindow, AdvancedDemoTicksCyclesReordersAndRemovesItsTasks) {
    run_main_menu("Sample component/Advanced CListControl demo");
    HWND dialog = demo("Advanced CListControl demo");
    ASSERT_NE(dialog, nullptr);
    HWND list = GetDlgItem(dialog, demo_list_id);
    ASSERT_GE(list_count(list), 5);

    // Space ticks the selected row; a click on the priority cycles it.
    const auto ticked = [&] { return SendMessageW(list, LVM_GETITEMSTATE, 1, LVIS_STATEIMAGEMASK); };
    select_rows(list, {1});
    const LRESULT was_ticked = ticked();
    SendMessageW(list, WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_NE(ticked(), was_ticked);
    // Its context menu's second command does the same. The keys wait for the menu's loop.
    for (WPARAM key : {VK_DOWN, VK_DOWN, VK_RETURN}) PostMessageW(dialog, WM_KEYDOWN, key, 0);
    SendMessageW(dialog, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), MAKELPARAM(-1, -1));
    EXPECT_EQ(ticked(), was_ticked);
    const auto cell_middle = [&](int row, int subitem) {
        RECT cell = {LVIR_BOUNDS, subitem, 0, 0};
        SendMessageW(list, LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&cell));
        return POINT{(cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2};
    };
    const std::string priority = list_cell(list, 1, 1);
    const POINT at = cell_middle(1, 1);
    SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    SendMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
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
    EXPECT_EQ(window_text(GetDlgItem(dialog, 1201)), "Moving 2 tasks to position 5");  // the status line
    SendMessageW(dialog, WM_LBUTTONUP, 0, MAKELPARAM(drop.x, drop.y));
    EXPECT_EQ(column(list, 0)[2], before[0]);
    EXPECT_EQ(column(list, 0)[3], before[1]);

    // Delete removes the selected rows.
    SendMessageW(list, WM_KEYDOWN, VK_DELETE, 0);
    EXPECT_EQ(column(list, 0)[2], before[4]);
    DestroyWindow(dialog);
}

TEST_F(MainWindow, SimpleDemoShowsThePlaylistAndSortsByAClickedColumnKeepingTheSelection) {
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
    SendMessageW(dialog, WM_NOTIFY, demo_list_id, reinterpret_cast<LPARAM>(&click));
    EXPECT_EQ(column(list, 0), (std::vector<std::string>{"demo.mod", "demo.xm"}));
    EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 1);  // demo.xm still
    DestroyWindow(dialog);
}

TEST_F(MainWindow, PropertiesOfTheSelectionOpenBesideTheWindowAndOnlyWithASelection) {
    window.add_paths({demo_song("demo.xm"), demo_song("demo.mod")});
    run.host.playlist().select_only({});
    EXPECT_THROW(run_main_menu("Edit/Properties"), std::exception);  // disabled: nothing to show

    run.host.playlist().select_only({1});
    run_main_menu("Edit/Properties");
    HWND shown = thread_window(L"minihost properties", L"Properties");
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(GetWindow(shown, GW_OWNER), main());
    DestroyWindow(shown);
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
    EXPECT_EQ(count_of(first.output, "kiv_ambrel component: on_quit()\n"), 1u) << first.output;
    const std::vector<uint8_t> kept = read_bytes(folder.file("profile/playlist.txt"));
    EXPECT_TRUE(contains(std::string(kept.begin(), kept.end()), "+\t0\tfile://"));  // the second one selected
    EXPECT_EQ(minihost::parse_layout(read_bytes(folder.file("profile/layout.bin"))).size(), 2u);

    // Without files the kept playlist comes back as it was.
    EXPECT_EQ(run_minihost_with_status(profile + "gui --close-after 1", true).status, 0);
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
