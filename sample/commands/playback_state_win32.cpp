// CPlaybackStateDemo: the playback state dialog, modeless, one object per window.
#include <windows.h>

#include <windowsx.h>

#include <algorithm>

#include "helpers/client.h"
#include "helpers/console.h"
#include "helpers/popup.h"
#include "helpers/resource_module.h"
#include "host/exceptions.h"
#include "host/modeless.h"
#include "host/service_lookup.h"
#include "host/shared.h"
#include "host/ui_control.h"
#include "resources/resource.h"
#include "sample/commands/playback_state.h"
#include "zorb/unicode.h"
#include "zorb/window_boundary.h"

namespace ambrel {
namespace {

// TrackPopupMenu: return the chosen id, send no notifications, track the right button.
constexpr UINT popup_flags = TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON;

class CPlaybackStateDemo final : public play_callback {
public:
    // Registered for every event as soon as it exists; the window comes after.
    CPlaybackStateDemo()
        : boundary_([](const std::string& message) { console_print("Playback state demo: " + message); }),
          manager_(service_lookup_one_t<play_callback_manager>(host())),
          control_(service_lookup_one_t<playback_control>(host())),
          line_(control_) {
        manager_->register_callback(this, ~0u, false);
    }
    ~CPlaybackStateDemo() { manager_->unregister_callback(this); }
    CPlaybackStateDemo(const CPlaybackStateDemo&) = delete;
    CPlaybackStateDemo& operator=(const CPlaybackStateDemo&) = delete;

    // Creates the window, which owns the object from then on.
    void create() {
        const HWND parent = static_cast<HWND>(host().get_main_window());
        if (CreateDialogParamW(static_cast<HINSTANCE>(resource_module()), MAKEINTRESOURCEW(IDD_PLAYBACK_STATE), parent,
                               &CPlaybackStateDemo::dialog_proc, reinterpret_cast<LPARAM>(this)) == nullptr)
            throw exception_win32(GetLastError());
    }

    void on_playback_starting(int, bool) override { update(); }
    void on_playback_new_track(metadb_handle*) override { update(); }
    void on_playback_stop(int) override { update(); }
    void on_playback_seek(double) override { update(); }
    void on_playback_pause(bool) override { update(); }
    void on_playback_edited(metadb_handle*) override { update(); }
    void on_playback_dynamic_info(const file_info&) override { update(); }
    void on_playback_dynamic_info_track(const file_info&) override { update(); }
    void on_playback_time(double) override { update(); }
    void on_volume_change(float) override {}

private:
    static INT_PTR CALLBACK dialog_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
        if (message == WM_INITDIALOG) SetWindowLongPtrW(window, DWLP_USER, lparam);
        auto* self = reinterpret_cast<CPlaybackStateDemo*>(GetWindowLongPtrW(window, DWLP_USER));
        if (self == nullptr) return FALSE;
        if (message == WM_NCDESTROY) {
            delete self;  // the window is gone: nothing refers to the object any more
            return FALSE;
        }
        return self->boundary_.run<INT_PTR>(FALSE, [&] { return self->handle(window, message, wparam, lparam); });
    }

    INT_PTR handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
        switch (message) {
            case WM_INITDIALOG:
                on_init(window);
                return TRUE;
            case WM_COMMAND:
                on_command(LOWORD(wparam), HIWORD(wparam));
                return TRUE;
            case WM_CONTEXTMENU:
                if (reinterpret_cast<HWND>(wparam) != GetDlgItem(window_, IDC_PLAYBACK_CONTEXT_AREA)) return FALSE;
                context_menu({GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)});
                return TRUE;
            case WM_MENUSELECT:
                show_item_status(LOWORD(wparam), HIWORD(wparam), reinterpret_cast<HMENU>(lparam));
                return TRUE;
            case WM_DESTROY:
                if (modeless_) modeless_->remove(window_);
                window_ = nullptr;
                return TRUE;
            default:
                return FALSE;
        }
    }

    void on_init(HWND window) {
        window_ = window;
        if (service_try_lookup_one_t<modeless_dialog_manager>(host(), modeless_)) modeless_->add(window_);
        update();
        uSetDlgItemText(window_, IDC_PLAYBACK_PATTERN, playback_state_default_pattern);  // edit change: update
        place_over_parent();
        ShowWindow(window_, SW_SHOW);
    }

    void on_command(int id, int code) {
        if (id == IDC_PLAYBACK_PATTERN) {
            if (code == EN_CHANGE) {
                line_.forget_pattern();
                update();
            }
        } else if (id == IDCANCEL) {
            DestroyWindow(window_);
        } else if (code == BN_CLICKED) {
            press_playback_button(id, *control_);
        }
    }

    void update() {
        if (window_ == nullptr) return;
        zorb::string8 pattern;
        uGetDlgItemText(window_, IDC_PLAYBACK_PATTERN, pattern);
        uSetDlgItemText(window_, IDC_PLAYBACK_STATE, line_.render(pattern.get_ptr()).c_str());
    }

    // Centred over the parent (the screen without one), then moved into the work area of the
    // parent's monitor, so that no part of it lies under the task bar or off the screen.
    void place_over_parent() {
        const HWND parent = GetParent(window_);
        RECT own, over;
        GetWindowRect(window_, &own);
        const HMONITOR monitor = MonitorFromWindow(parent != nullptr ? parent : window_, MONITOR_DEFAULTTONEAREST);
        MONITORINFO info{};
        info.cbSize = sizeof info;
        GetMonitorInfoW(monitor, &info);
        if (parent == nullptr || !GetWindowRect(parent, &over)) over = info.rcWork;
        const LONG width = own.right - own.left, height = own.bottom - own.top;
        LONG left = (over.left + over.right - width) / 2, top = (over.top + over.bottom - height) / 2;
        left = std::max(info.rcWork.left, std::min(left, info.rcWork.right - width));
        top = std::max(info.rcWork.top, std::min(top, info.rcWork.bottom - height));
        SetWindowPos(window_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    void context_menu(POINT point) {
        if (point.x == -1 && point.y == -1) {  // from the keyboard: the test area's centre
            RECT area;
            GetWindowRect(GetDlgItem(window_, IDC_PLAYBACK_CONTEXT_AREA), &area);
            point = {(area.left + area.right) / 2, (area.top + area.bottom) / 2};
        }
        metadb_handle_list tracks;
        metadb_handle_ptr playing;
        if (control_->get_now_playing(playing)) tracks.add_item(playing);

        struct owned_menu {
            HMENU menu = CreatePopupMenu();
            ~owned_menu() { DestroyMenu(menu); }
        } popup;
        if (popup.menu == nullptr) throw exception_win32(GetLastError());
        AppendMenuW(popup.menu, MF_STRING, playback_menu_test_command, L"Test command");
        AppendMenuW(popup.menu, MF_SEPARATOR, 0, nullptr);
        if (tracks.empty()) {
            AppendMenuW(popup.menu, MF_STRING | MF_DISABLED | MF_GRAYED, 0, L"No items selected");
        } else {
            host_menu_ = service_lookup_one_t<contextmenu_manager>(host());
            host_menu_->init_context(tracks, 0);
            host_menu_->win32_build_menu(popup.menu, playback_menu_host_base, ~0u);
        }
        const auto chosen =
            static_cast<unsigned>(TrackPopupMenu(popup.menu, popup_flags, point.x, point.y, 0, window_, nullptr));
        revert_status();
        service_ptr_t<contextmenu_manager> host_menu = std::move(host_menu_);
        if (chosen == playback_menu_test_command)
            popup_message_show("Blah!", "Test", popup_icon_information);
        else if (chosen >= playback_menu_host_base && host_menu)
            host_menu->execute_by_id(chosen - playback_menu_host_base);
    }

    void show_item_status(unsigned id, unsigned flags, HMENU menu) {
        std::string text;
        if (flags == 0xFFFF && menu == nullptr) return revert_status();  // the menu closed
        if ((flags & (MF_POPUP | MF_SEPARATOR)) != 0 || !playback_menu_status(id, host_menu_.get(), text))
            return revert_status();
        service_ptr_t<ui_control> ui;
        if (service_try_lookup_one_t<ui_control>(host(), ui)) ui->override_status_text(text.c_str());
    }

    void revert_status() {
        service_ptr_t<ui_control> ui;
        if (service_try_lookup_one_t<ui_control>(host(), ui)) ui->revert_status_text();
    }

    zorb::window_boundary boundary_;
    HWND window_ = nullptr;
    service_ptr_t<play_callback_manager> manager_;
    service_ptr_t<playback_control> control_;
    playback_state_line line_;
    service_ptr_t<modeless_dialog_manager> modeless_;
    service_ptr_t<contextmenu_manager> host_menu_;  // while its popup is open
};

}  // namespace

void open_playback_state_demo() {
    auto* demo = new CPlaybackStateDemo();
    try {
        demo->create();
    } catch (...) {
        delete demo;
        throw;
    }
}

}  // namespace ambrel
