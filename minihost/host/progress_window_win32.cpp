// The progress window of a threaded process: its title, the current item's line, one or two bars
// of 0 to 5000 and an Abort button, as the process's flags ask. The worker's changes are kept under
// a lock and shown by a timer on the window's thread, so the worker never waits for the window.
#include <windows.h>

#include <commctrl.h>

#include <chrono>
#include <cstdio>
#include <mutex>

#include "minihost/host/threaded_process.h"
#include "minihost/host/window_parts_win32.h"
#include "zorb/unicode.h"
#include "zorb/window_boundary.h"

namespace minihost {
namespace {

constexpr wchar_t window_class_name[] = L"minihost progress";
constexpr UINT finished_message = WM_APP + 1;
constexpr UINT_PTR refresh_timer = 1;
constexpr UINT refresh_milliseconds = 50;
constexpr int item_id = 100, main_bar_id = 101, secondary_bar_id = 102;
constexpr int margin = 10, client_width = 440, line_height = 16, bar_height = 16, button_width = 80, button_height = 24;

LRESULT CALLBACK progress_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

class CProgressWindow final : public progress_view {
public:
    explicit CProgressWindow(const progress_view_request& request)
        : flags_(request.flags),
          parent_(static_cast<HWND>(request.parent)),
          modal_(request.modal),
          abort_(request.abort),
          started_(std::chrono::steady_clock::now()),
          boundary_(
              [](const std::string& text) { std::fprintf(stderr, "minihost: progress window: %s\n", text.c_str()); }) {
        state_.title = request.title;
        create();
    }
    ~CProgressWindow() override {
        enable_parent();
        if (window_) DestroyWindow(window_);
    }

    void changed(const progress_change& change) override {
        std::lock_guard lock(mutex_);
        state_.apply(change);
        dirty_ = true;
    }
    bool hand_over(std::function<void()> finish) override {
        finish_ = std::move(finish);
        return PostMessageW(window_, finished_message, 0, 0) != FALSE;
    }
    void ended(bool) override { enable_parent(); }

    LRESULT handle(UINT message, WPARAM wparam, LPARAM lparam) {
        return boundary_.run<LRESULT>(0, [&]() -> LRESULT {
            switch (message) {
                case WM_TIMER:
                    refresh();
                    return 0;
                case WM_COMMAND:
                    if (LOWORD(wparam) == IDCANCEL && HIWORD(wparam) == BN_CLICKED) request_abort();
                    return 0;
                case WM_CLOSE:
                    request_abort();  // the close box is the Abort button; without one it does nothing
                    return 0;
                case finished_message:
                    on_finished();
                    return 0;
                case WM_DESTROY:
                    window_ = nullptr;
                    return 0;
                default:
                    return DefWindowProcW(window_, message, wparam, lparam);
            }
        });
    }
    void attach(HWND window) { window_ = window; }

private:
    void create() {
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&controls);
        register_window_class(window_class_name, progress_window_proc);

        const bool dual = flags_ & threaded_process::flag_show_progress_dual;
        const bool bar = dual || (flags_ & threaded_process::flag_show_progress);
        const bool item = flags_ & threaded_process::flag_show_item;
        const bool abortable = flags_ & threaded_process::flag_show_abort;
        int height = margin;
        const int item_top = height;
        if (item) height += line_height + margin;
        const int main_top = height;
        if (bar) height += bar_height + margin;
        const int secondary_top = height;
        if (dual) height += bar_height + margin;
        const int button_top = height;
        if (abortable) height += button_height + margin;

        const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
        RECT frame = {0, 0, client_width, height};
        AdjustWindowRectEx(&frame, style, FALSE, WS_EX_DLGMODALFRAME);
        const int width = frame.right - frame.left, full_height = frame.bottom - frame.top;
        RECT around = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        if (parent_) GetWindowRect(parent_, &around);
        const int left = around.left + (around.right - around.left - width) / 2;
        const int top = around.top + (around.bottom - around.top - full_height) / 2;
        HWND window =
            CreateWindowExW(WS_EX_DLGMODALFRAME, window_class_name, zorb::wide_from_utf8(state_.title).c_str(), style,
                            left, top, width, full_height, parent_, nullptr, GetModuleHandleW(nullptr), this);
        if (window == nullptr) throw zorb::exception("Cannot create the progress window");
        if (!abortable) EnableMenuItem(GetSystemMenu(window, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
        const int inner = client_width - 2 * margin;
        if (item)
            control(L"STATIC", L"", SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_PATHELLIPSIS, item_id, item_top, inner,
                    line_height);
        if (bar) control(PROGRESS_CLASSW, L"", 0, main_bar_id, main_top, inner, bar_height);
        if (dual) control(PROGRESS_CLASSW, L"", 0, secondary_bar_id, secondary_top, inner, bar_height);
        if (abortable)
            control(L"BUTTON", L"Abort", WS_TABSTOP | BS_DEFPUSHBUTTON, IDCANCEL, button_top, button_width,
                    button_height, client_width - margin - button_width);
        for (int bar_id : {main_bar_id, secondary_bar_id})
            SendDlgItemMessageW(window, bar_id, PBM_SETRANGE32, 0, threaded_process_status::progress_max);
        if (modal_ && parent_) EnableWindow(parent_, FALSE);
        SetTimer(window, refresh_timer, refresh_milliseconds, nullptr);
        if (!(flags_ & threaded_process::flag_show_delayed)) show();
    }

    void control(const wchar_t* class_name, const wchar_t* text, DWORD style, int id, int top, int width, int height,
                 int left = margin) {
        HWND made =
            CreateWindowExW(0, class_name, text, WS_CHILD | WS_VISIBLE | style, left, top, width, height, window_,
                            reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), GetModuleHandleW(nullptr), nullptr);
        SendMessageW(made, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    }

    void show() {
        if (shown_ || window_ == nullptr) return;
        shown_ = true;
        ShowWindow(window_, (flags_ & threaded_process::flag_no_focus) ? SW_SHOWNOACTIVATE : SW_SHOW);
    }

    void refresh() {
        if (!shown_ && std::chrono::steady_clock::now() - started_ >= std::chrono::milliseconds(500)) show();
        std::lock_guard lock(mutex_);
        if (!dirty_) return;
        dirty_ = false;
        SendDlgItemMessageW(window_, main_bar_id, PBM_SETPOS, state_.main, 0);
        SendDlgItemMessageW(window_, secondary_bar_id, PBM_SETPOS, state_.secondary, 0);
        SetDlgItemTextW(window_, item_id, zorb::wide_from_utf8(state_.item).c_str());
        SetWindowTextW(window_, zorb::wide_from_utf8(state_.title).c_str());
    }

    void request_abort() {
        if (!(flags_ & threaded_process::flag_show_abort)) return;
        abort_.abort();
        SetDlgItemTextW(window_, IDCANCEL, L"Aborting...");
        EnableWindow(GetDlgItem(window_, IDCANCEL), FALSE);
    }

    // The work has ended: the window goes, then the process's on_done runs here.
    void on_finished() {
        KillTimer(window_, refresh_timer);
        ShowWindow(window_, SW_HIDE);
        enable_parent();
        if (finish_) finish_();
        if (window_) DestroyWindow(window_);
    }

    void enable_parent() {
        if (modal_ && parent_ && !parent_enabled_) {
            parent_enabled_ = true;
            EnableWindow(parent_, TRUE);
        }
    }

    const unsigned flags_;
    HWND parent_;
    const bool modal_;
    abort_callback_impl& abort_;
    HWND window_ = nullptr;
    std::function<void()> finish_;
    std::chrono::steady_clock::time_point started_;
    bool shown_ = false;
    bool parent_enabled_ = false;
    zorb::window_boundary boundary_;
    // The worker's changes, shown by the timer.
    std::mutex mutex_;
    progress_state state_;
    bool dirty_ = true;
};

LRESULT CALLBACK progress_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<CProgressWindow*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->attach(window);
    }
    auto* self = reinterpret_cast<CProgressWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr || message == WM_NCCREATE) return DefWindowProcW(window, message, wparam, lparam);
    return self->handle(message, wparam, lparam);  // a boundary of its own inside
}

}  // namespace

progress_view_factory progress_windows() {
    return [](const progress_view_request& request) { return std::make_unique<CProgressWindow>(request); };
}

}  // namespace minihost
