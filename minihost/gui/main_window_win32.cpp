#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "host/mainmenu.h"
#include "minihost/gui/file_dialogs.h"
#include "minihost/gui/folder_scan.h"
#include "minihost/gui/main_layout.h"
#include "minihost/gui/main_window.h"
#include "minihost/gui/menu_bar_win32.h"
#include "minihost/gui/playlist_view_win32.h"
#include "minihost/host/context_menu.h"
#include "minihost/host/filesystem.h"
#include "minihost/host/input_registry.h"
#include "minihost/host/main_menu.h"
#include "minihost/host/properties_window.h"
#include "zorb/files.h"
#include "zorb/unicode.h"

namespace minihost {
namespace {

constexpr wchar_t window_class_name[] = L"minihost main window";
constexpr wchar_t window_title[] = L"minihost";
constexpr int default_width = 960, default_height = 600;  // pixels at 96 dots per inch
constexpr int minimum_width = 400, minimum_height = 300;
// A track's information changed, perhaps on another thread: the playlist is drawn anew.
constexpr UINT tracks_changed_message = WM_APP + 1;
constexpr unsigned last_context_id = CMenuBar::first_id - 1;

constexpr GUID guid_open = {0x2DC79B20, 0xBD2E, 0x4905, {0xA1, 0x8E, 0x4A, 0x1A, 0xC9, 0x00, 0x36, 0xC2}};
constexpr GUID guid_add_folder = {0x7615E0A0, 0xEB04, 0x464E, {0x88, 0xDF, 0x8A, 0x0B, 0xB9, 0x77, 0x84, 0x24}};
constexpr GUID guid_exit = {0xF9E7BEF6, 0x56C7, 0x412A, {0x97, 0x3E, 0xD5, 0x54, 0xCD, 0xC5, 0xA2, 0xD9}};
constexpr GUID guid_select_all = {0xE980859D, 0x4F9A, 0x47B3, {0xA1, 0x1F, 0x6B, 0x26, 0x36, 0xA9, 0x8D, 0x4F}};
constexpr GUID guid_remove = {0x21FE2489, 0x6914, 0x466C, {0xBD, 0x9E, 0x5A, 0x9C, 0xB3, 0xDC, 0xCA, 0x6B}};
constexpr GUID guid_properties = {0x3C354138, 0x4753, 0x497B, {0x8A, 0xB8, 0x01, 0x22, 0x20, 0xAB, 0xBD, 0x37}};
constexpr GUID guid_clear = {0xA45B93EC, 0xF487, 0x4462, {0xB3, 0xEB, 0x2C, 0xE5, 0xCC, 0x96, 0xE1, 0x85}};

LRESULT CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        static_cast<CMainWindow*>(create->lpCreateParams)->attach(window);
    }
    auto* self = reinterpret_cast<CMainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcW(window, message, wparam, lparam);
    return self->handle(message, wparam, lparam);  // a boundary of its own inside
}

uint32_t disabled_unless(bool enabled) { return enabled ? 0 : mainmenu_flag_disabled; }

// The place the profile keeps, fitted onto the monitor nearest to it; false when it keeps none.
bool kept_placement(const std::string& file, window_placement& place) {
    std::vector<uint8_t> bytes;
    if (!zorb::read_file(file, bytes) ||
        !parse_placement(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), place))
        return false;
    const RECT kept = {place.left, place.top, place.left + place.width, place.top + place.height};
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoW(MonitorFromRect(&kept, MONITOR_DEFAULTTONEAREST), &monitor)) return false;
    const RECT& work = monitor.rcWork;
    place = fit_on_screen(place, {work.left, work.top, work.right, work.bottom});
    return true;
}

// "Tools/Sample component": the names of a menu and of the sub-menus below it.
std::vector<std::string> menu_path_names(const std::string& path) {
    std::vector<std::string> names;
    for (size_t start = 0;;) {
        const size_t slash = path.find('/', start);
        names.push_back(path.substr(start, slash - start));
        if (slash == std::string::npos) return names;
        start = slash + 1;
    }
}

// The keys that lead from `menu`, just opened, into the sub-menus named names[first...] in turn: to
// the first entry (Home; a menu opens with none chosen or the first), down to each sub-menu and
// right into it. The menu's own loop reads them from the queue once it runs. Raises
// zorb::exception when a name is no sub-menu; `path` names the whole for the message.
std::vector<unsigned> keys_into_submenus(const menu_node& menu, const std::vector<std::string>& names, size_t first,
                                         const std::string& path) {
    std::vector<unsigned> keys;
    const menu_node* level = &menu;
    for (size_t depth = first; depth < names.size(); ++depth) {
        const menu_node* next = nullptr;
        keys.push_back(VK_HOME);
        for (const menu_node& entry : level->children) {
            if (entry.kind == menu_node::separator) continue;
            if (entry.kind == menu_node::popup && entry.name == names[depth]) {
                next = &entry;
                break;
            }
            keys.push_back(VK_DOWN);
        }
        if (next == nullptr) throw zorb::exception(path + " names no menu");
        keys.push_back(VK_RIGHT);
        level = next;
    }
    return keys;
}

}  // namespace

CMainWindow::CMainWindow(host& running)
    : running_(running),
      menu_bar_(std::make_unique<CMenuBar>(running)),
      playlist_(std::make_unique<CPlaylistView>(running.playlist())),
      boundary_(
          [](const std::string& message) { std::fprintf(stderr, "minihost: main window: %s\n", message.c_str()); }) {}

CMainWindow::~CMainWindow() {
    if (window_) DestroyWindow(static_cast<HWND>(window_));
}

void CMainWindow::create(bool visible) {
    WNDCLASSEXW window_class = {};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = main_window_proc;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // the arrow
    window_class.hIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512));      // the application icon
    window_class.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    window_class.lpszClassName = window_class_name;
    RegisterClassExW(&window_class);  // fails harmlessly when an earlier window registered it
    window_placement place;
    const bool kept = kept_placement(running_.profile().main_window_file(), place);
    HWND window = CreateWindowExW(
        WS_EX_ACCEPTFILES, window_class_name, window_title, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
        kept ? place.left : CW_USEDEFAULT, kept ? place.top : CW_USEDEFAULT, kept ? place.width : default_width,
        kept ? place.height : default_height, nullptr, nullptr, GetModuleHandleW(nullptr), this);
    if (window == nullptr) throw zorb::exception("Cannot create the main window");
    if (boundary_.failed()) {
        DestroyWindow(window);
        boundary_.rethrow_failure();
    }
    if (visible) ShowWindow(window, kept && place.maximized ? SW_SHOWMAXIMIZED : SW_SHOW);
}

void CMainWindow::attach(void* window) { window_ = window; }

void CMainWindow::run_until_closed() {
    MSG message;
    while (window_ != nullptr && GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (running_.modeless_dialogs().dispatch(&message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

host_window CMainWindow::playlist_window() const { return playlist_->window(); }

intptr_t CMainWindow::handle(unsigned message, uintptr_t wparam, intptr_t lparam) {
    HWND window = static_cast<HWND>(window_);
    return boundary_.run<intptr_t>(0, [&]() -> intptr_t {
        switch (message) {
            case WM_CREATE:
                on_create();
                return 0;
            case WM_SIZE:
                layout();
                return 0;
            case WM_GETMINMAXINFO:
                reinterpret_cast<MINMAXINFO*>(lparam)->ptMinTrackSize = {minimum_track_width(), minimum_height};
                return 0;
            case WM_INITMENUPOPUP:
                if (!HIWORD(lparam)) menu_bar_->fill(reinterpret_cast<HMENU>(wparam));
                return 0;
            case WM_MENUSELECT:
                on_menu_select(LOWORD(wparam), HIWORD(wparam), lparam);
                return 0;
            case WM_EXITMENULOOP:
                show_description({});
                return 0;
            case WM_COMMAND:
                if (lparam == 0 && HIWORD(wparam) == 0)
                    if (const menu_node* command = menu_bar_->command(LOWORD(wparam))) run_entry(*command);
                return 0;
            case WM_NOTIFY:
                return on_notify(*reinterpret_cast<NMHDR*>(lparam));
            case WM_CONTEXTMENU:
                if (reinterpret_cast<HWND>(wparam) == playlist_->window()) on_context_menu(lparam);
                return 0;
            case WM_DROPFILES:
                on_drop(wparam);
                return 0;
            case tracks_changed_message:
                playlist_->redraw();
                return 0;
            case WM_CLOSE:
                DestroyWindow(window);
                return 0;
            case WM_DESTROY:
                on_destroy();
                return 0;
            default:
                return DefWindowProcW(window, message, wparam, lparam);
        }
    });
}

void CMainWindow::on_create() {
    HWND window = static_cast<HWND>(window_);
    const INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&classes);
    status_ = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, window,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(status_bar_id)), GetModuleHandleW(nullptr),
                              nullptr);
    if (status_ == nullptr) throw exception_win32(GetLastError());
    playlist_->create(window, playlist_id);
    add_host_commands();
    menu_bar_->attach(window);
    playlist_observer_ = running_.playlist().add_observer([this](playlist::change) { refresh_status(); });
    // Tracks may change on any thread; the window hears of it through its queue.
    track_observer_ = running_.tracks().add_observer(
        [window](const metadb_handle_list&) { PostMessageW(window, tracks_changed_message, 0, 0); });
    running_.set_main_window(window);
    running_.popups().set_presenter(message_box_popups(running_));
    refresh_status();
    SetFocus(playlist_->window());
}

void CMainWindow::on_destroy() {
    HWND window = static_cast<HWND>(window_);
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    if (GetWindowPlacement(window, &placement)) {
        const RECT& normal = placement.rcNormalPosition;
        const window_placement place = {normal.left, normal.top, normal.right - normal.left, normal.bottom - normal.top,
                                        placement.showCmd == SW_SHOWMAXIMIZED};
        const std::string text = placement_text(place);
        try {
            zorb::replace_file(running_.profile().main_window_file(), text.data(), text.size(), "the window's place");
        } catch (const std::exception& failure) {
            std::fprintf(stderr, "minihost: %s\n", failure.what());
        }
    }
    for (size_t id : command_ids_) running_.host_commands().remove(id);
    command_ids_.clear();
    running_.playlist().remove_observer(playlist_observer_);
    running_.tracks().remove_observer(track_observer_);
    running_.popups().set_presenter(print_popups(stdout));
    running_.set_main_window(nullptr);
    window_ = nullptr;
}

void CMainWindow::add_band(host_window child, int height, bool at_top) {
    bands_.push_back({child, height, at_top});
    layout();
}

void CMainWindow::refresh_menu_bar() {
    if (window_ != nullptr) menu_bar_->attach(static_cast<HWND>(window_));
}

void CMainWindow::set_band_height(host_window child, int height) {
    for (band& each : bands_)
        if (each.window == child) each.height = height;
    layout();
}

void CMainWindow::set_minimum_client_width(int width) {
    band_minimum_width_ = width;
    HWND window = static_cast<HWND>(window_);
    RECT client;
    if (window == nullptr || !GetClientRect(window, &client) || client.right >= width) return;
    // Wider at once, as a drag to the new minimum would make it.
    RECT place;
    GetWindowRect(window, &place);
    SetWindowPos(window, nullptr, 0, 0, place.right - place.left + width - client.right, place.bottom - place.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int CMainWindow::minimum_track_width() const {
    HWND window = static_cast<HWND>(window_);
    RECT frame = {0, 0, band_minimum_width_, 0};
    if (window != nullptr)
        AdjustWindowRectEx(&frame, DWORD(GetWindowLongW(window, GWL_STYLE)), GetMenu(window) != nullptr,
                           DWORD(GetWindowLongW(window, GWL_EXSTYLE)));
    return std::max(minimum_width, int(frame.right - frame.left));
}

void CMainWindow::layout() {
    HWND window = static_cast<HWND>(window_);
    if (status_ == nullptr || playlist_->window() == nullptr) return;
    SendMessageW(static_cast<HWND>(status_), WM_SIZE, 0, 0);
    RECT client, status;
    GetClientRect(window, &client);
    GetWindowRect(static_cast<HWND>(status_), &status);
    std::vector<int> top_heights, bottom_heights;
    for (const band& each : bands_) (each.at_top ? top_heights : bottom_heights).push_back(each.height);
    const main_layout layout =
        arrange_main_window(client.right, client.bottom, top_heights, bottom_heights, status.bottom - status.top);
    const auto place = [](void* child, const box& where) {
        MoveWindow(static_cast<HWND>(child), where.left, where.top, where.right - where.left, where.bottom - where.top,
                   TRUE);
    };
    size_t top = 0, bottom = 0;
    for (const band& each : bands_)
        place(each.window, each.at_top ? layout.top_bands[top++] : layout.bottom_bands[bottom++]);
    place(playlist_->window(), layout.playlist);
}

void CMainWindow::show_properties(const metadb_handle_list& tracks) {
    std::vector<std::string> failed;
    auto shown = std::make_unique<CPropertiesWindow>(track_property_rows(running_, tracks, &failed));
    for (const std::string& reason : failed) std::fprintf(stderr, "minihost: a property provider failed: %s\n", reason.c_str());
    shown->create(window_, true);
    properties_ = std::move(shown);
}

void CMainWindow::add_host_commands() {
    playlist& list = running_.playlist();
    const auto add = [&](host_command command) {
        command_ids_.push_back(running_.host_commands().add(std::move(command)));
    };
    add({mainmenu_groups_file, guid_open, "Open...", "Adds files to the playlist.", [this] { choose_files(); }, {}});
    add({mainmenu_groups_file,
         guid_add_folder,
         "Add folder...",
         "Adds every file of a folder and its subfolders that minihost can play to the playlist.",
         [this] { choose_folder(); },
         {}});
    add({mainmenu_groups_file,
         guid_exit,
         "Exit",
         "Closes minihost.",
         [this] { PostMessageW(static_cast<HWND>(window_), WM_CLOSE, 0, 0); },
         {}});
    add({mainmenu_groups_edit, guid_select_all, "Select all", "Selects every track of the playlist.",
         [&list] { list.set_selected(0, list.size(), true); }, [&list] { return disabled_unless(list.size() > 0); }});
    add({mainmenu_groups_edit, guid_remove, "Remove", "Removes the selected tracks from the playlist.",
         [&list] { list.remove_selected(); }, [&list] { return disabled_unless(!list.selected_indexes().empty()); }});
    add({mainmenu_groups_edit, guid_clear, "Clear", "Removes every track from the playlist.", [&list] { list.clear(); },
         [&list] { return disabled_unless(list.size() > 0); }});
    add({mainmenu_groups_edit, guid_properties, "Properties", "Shows the properties of the selected tracks.",
         [this, &list] { show_properties(list.selected_items()); },
         [&list] { return disabled_unless(!list.selected_indexes().empty()); }});
}

intptr_t CMainWindow::on_notify(NMHDR& notification) {
    LRESULT result = 0;
    if (playlist_->answer(notification, result)) return result;
    if (notification.hwndFrom == playlist_->window() && notification.code == LVN_KEYDOWN) {
        const WORD key = reinterpret_cast<NMLVKEYDOWN&>(notification).wVKey;
        playlist& list = running_.playlist();
        if (key == VK_DELETE) list.remove_selected();
        if (key == 'A' && GetKeyState(VK_CONTROL) < 0) list.set_selected(0, list.size(), true);
    }
    return 0;
}

void CMainWindow::on_menu_select(unsigned item, unsigned flags, intptr_t menu) {
    if (flags == 0xFFFF && menu == 0) {
        show_description({});
        return;
    }
    show_description(context_open_ ? menu_select_description(context_commands_, 1, item, flags)
                                   : menu_bar_->description(item, flags));
}

void CMainWindow::on_context_menu(intptr_t lparam) {
    POINT point = {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
    if (point.x == -1 && point.y == -1) point = playlist_->focused_point();
    const metadb_handle_list selection = running_.playlist().selected_items();
    if (selection.empty()) return;
    const menu_node menu = build_context_menu(running_, selection, contextmenu_caller_playlist);
    HMENU popup = CreatePopupMenu();
    try {
        build_win32_menu(popup, menu, 1, last_context_id);
    } catch (...) {
        DestroyMenu(popup);
        throw;
    }
    context_commands_ = menu_commands_in_order(menu);
    context_open_ = true;
    const auto chosen = static_cast<unsigned>(TrackPopupMenu(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON, point.x, point.y,
                                                             0, static_cast<HWND>(window_), nullptr));
    context_open_ = false;
    DestroyMenu(popup);
    const std::vector<const menu_node*> commands = std::exchange(context_commands_, {});
    if (chosen >= 1 && chosen <= commands.size()) run_entry(*commands[chosen - 1]);
}

void CMainWindow::run_entry(const menu_node& entry) {
    // A copy: the command may open a menu again, which builds the menu anew.
    const menu_node command = entry;
    try {
        run_menu_command(command, command.name);
    } catch (const std::exception& failure) {
        running_.popups().show(command.name, failure.what(), popup_icon_error);
    }
}

void CMainWindow::on_drop(uintptr_t drop) {
    auto files = reinterpret_cast<HDROP>(drop);
    std::vector<std::string> paths;
    const UINT count = DragQueryFileW(files, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        std::wstring path(DragQueryFileW(files, i, nullptr, 0) + 1, L'\0');
        path.resize(DragQueryFileW(files, i, path.data(), static_cast<UINT>(path.size())));
        paths.push_back(zorb::utf8_from_wide(path));
    }
    DragFinish(files);
    add_paths(paths);
}

size_t CMainWindow::add_paths(const std::vector<std::string>& paths) {
    input_registry inputs(running_);
    const auto playable = [&](const std::string& path) {
        try {
            inputs.find(path);
            return true;
        } catch (const std::exception&) {
            return false;
        }
    };
    std::vector<std::string> files;
    std::string failures;
    for (const std::string& path : paths) {
        std::error_code error;
        if (!std::filesystem::is_directory(zorb::native_path(path), error)) {
            files.push_back(path);
            continue;
        }
        try {
            for (std::string& file : files_in_folder(path, playable)) files.push_back(std::move(file));
        } catch (const std::exception& failure) {
            failures += std::string(failure.what()) + "\n";
        }
    }
    HCURSOR cursor = SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32514)));  // the hourglass
    abort_callback_dummy abort;
    playlist& list = running_.playlist();
    const size_t before = list.size();
    for (size_t i = 0; i < files.size(); ++i) {
        show_description("Adding file " + std::to_string(i + 1) + " of " + std::to_string(files.size()) + ": " +
                         file_name_of(files[i]));
        UpdateWindow(static_cast<HWND>(status_));
        std::string failure;
        const metadb_handle_list tracks = running_.tracks().add_file(canonical_track_path(files[i]), abort, failure);
        if (failure.empty())
            list.add(tracks);
        else
            failures += files[i] + ": " + failure + "\n";
    }
    show_description({});
    SetCursor(cursor);
    if (!failures.empty()) running_.popups().show("Not added", failures, popup_icon_warning);
    return list.size() - before;
}

void CMainWindow::choose_files() { add_paths(minihost::choose_files(running_, window_)); }

void CMainWindow::choose_folder() {
    const std::string folder = minihost::choose_folder(window_, "Choose a folder to add to the playlist");
    if (!folder.empty()) add_paths({folder});
}

void CMainWindow::refresh_status() {
    playlist& list = running_.playlist();
    status_text_ = std::to_string(list.size()) + (list.size() == 1 ? " track" : " tracks") + ", " +
                   std::to_string(list.selected_indexes().size()) + " selected";
    SendMessageW(static_cast<HWND>(status_), SB_SETTEXTW, 0,
                 reinterpret_cast<LPARAM>(zorb::wide_from_utf8(status_text_).c_str()));
}

// A description takes the whole status bar over until it is emptied again.
void CMainWindow::show_description(const std::string& text) {
    HWND status = static_cast<HWND>(status_);
    if (text.empty()) {
        SendMessageW(status, SB_SIMPLE, FALSE, 0);
        return;
    }
    SendMessageW(status, SB_SIMPLE, TRUE, 0);
    SendMessageW(status, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(zorb::wide_from_utf8(text).c_str()));
}

void CMainWindow::open_menu(const std::string& path) {
    const std::vector<std::string> names = menu_path_names(path);
    const std::vector<std::string>& bar = menu_bar_->menu_names();
    const auto found = std::find(bar.begin(), bar.end(), names.front());
    if (found == bar.end()) throw zorb::exception("The menu bar has no menu " + names.front());
    const menu_node menu = build_main_menu(running_);
    const auto opened = std::find_if(menu.children.begin(), menu.children.end(),
                                     [&](const menu_node& each) { return each.name == *found; });
    // The keys a person would press: Alt alone (the bar's first menu), right to the menu, Down to
    // open it on its first entry, then on into its sub-menus.
    std::vector<unsigned> keys(static_cast<size_t>(found - bar.begin()), VK_RIGHT);
    keys.push_back(VK_DOWN);
    if (opened != menu.children.end())
        for (unsigned key : keys_into_submenus(*opened, names, 1, path)) keys.push_back(key);
    HWND window = static_cast<HWND>(window_);
    PostMessageW(window, WM_SYSCOMMAND, SC_KEYMENU, 0);
    for (unsigned key : keys) PostMessageW(window, WM_KEYDOWN, key, 0);
}

void CMainWindow::open_context_menu(const std::string& path) {
    std::vector<unsigned> keys;
    if (!path.empty()) {
        const menu_node menu =
            build_context_menu(running_, running_.playlist().selected_items(), contextmenu_caller_playlist);
        keys = keys_into_submenus(menu, menu_path_names(path), 0, path);
    }
    HWND window = static_cast<HWND>(window_);
    PostMessageW(window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(playlist_->window()), MAKELPARAM(-1, -1));
    for (unsigned key : keys) PostMessageW(window, WM_KEYDOWN, key, 0);
}

}  // namespace minihost
