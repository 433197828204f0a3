#include <windows.h>

#include "host/service_lookup.h"
#include "minihost/host/preferences_window.h"
#include "minihost/host/window_parts_win32.h"
#include "zorb/unicode.h"

namespace minihost {
namespace {

constexpr wchar_t window_class_name[] = L"minihost preferences";
constexpr int margin = 8;
constexpr int list_width = 150;
constexpr int button_width = 80;
constexpr int button_height = 24;

}  // namespace

// The page's way back to the window; outlives the window when the page keeps it longer.
class CPreferencesWindow::page_callback : public preferences_page_callback {
public:
    explicit page_callback(CPreferencesWindow* owner) : owner_(owner) {}
    void state_changed() override {
        if (owner_) owner_->on_state_changed();
    }
    void detach() { owner_ = nullptr; }

private:
    CPreferencesWindow* owner_;
};

CPreferencesWindow::CPreferencesWindow(host_api& api, zorb::window_boundary::report_t report)
    : api_(api), boundary_(std::move(report)) {
    const size_t count = service_count_t<preferences_page>(api);
    for (size_t index = 0; index < count; ++index)
        if (auto page = service_create_at_t<preferences_page>(api, index).query_as<preferences_page_v3>())
            pages_.push_back(page);
}

CPreferencesWindow::~CPreferencesWindow() {
    if (window_) DestroyWindow(static_cast<HWND>(window_));
}

void CPreferencesWindow::create(bool visible) {
    if (pages_.empty()) throw zorb::exception("The component has no preferences page");
    register_window_class(window_class_name, forward_to_window<CPreferencesWindow>);
    HWND window = CreateWindowExW(WS_EX_CONTROLPARENT, window_class_name, L"Preferences",
                                  WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 640, 480, nullptr, nullptr, GetModuleHandleW(nullptr), this);
    if (window == nullptr) throw zorb::exception("Cannot create the preferences window");
    window_ = window;
    HWND list = make_control(window, L"LISTBOX", L"", WS_BORDER | WS_TABSTOP | LBS_NOTIFY, page_list_id);
    for (auto& page : pages_) {
        zorb::string8 name;
        page->page_name(name);
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(zorb::wide_from_utf8(name.str()).c_str()));
    }
    make_control(window, L"BUTTON", L"Reset", WS_TABSTOP | BS_PUSHBUTTON, reset_button_id);
    make_control(window, L"BUTTON", L"OK", WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK);
    make_control(window, L"BUTTON", L"Cancel", WS_TABSTOP | BS_PUSHBUTTON, IDCANCEL);
    make_control(window, L"BUTTON", L"Apply", WS_TABSTOP | BS_PUSHBUTTON, apply_button_id);
    SendMessageW(list, LB_SETCURSEL, 0, 0);
    boundary_.run([&] { open_page(0); });
    if (visible) ShowWindow(window, SW_SHOW);
}

void CPreferencesWindow::run_until_closed() {
    MSG message;
    while (window_ && GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (window_ && IsDialogMessageW(static_cast<HWND>(window_), &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

host_window CPreferencesWindow::page_window() const { return page_ ? page_->page_window() : nullptr; }

host_window CPreferencesWindow::button(int id) const { return GetDlgItem(static_cast<HWND>(window_), id); }

intptr_t CPreferencesWindow::handle(unsigned message, uintptr_t wparam, intptr_t lparam) {
    return boundary_.run<intptr_t>(0, [&]() -> intptr_t {
        HWND window = static_cast<HWND>(window_);
        switch (message) {
            case WM_COMMAND:
                if (LOWORD(wparam) == page_list_id && HIWORD(wparam) == LBN_SELCHANGE)
                    open_page(static_cast<size_t>(SendMessageW(reinterpret_cast<HWND>(lparam), LB_GETCURSEL, 0, 0)));
                else if (HIWORD(wparam) == BN_CLICKED)
                    on_command(LOWORD(wparam));
                return 0;
            case WM_CLOSE:
                DestroyWindow(window);
                return 0;
            case WM_DESTROY:
                // The page goes before its parent window does.
                if (callback_) static_cast<page_callback*>(callback_.get())->detach();
                page_.reset();
                window_ = nullptr;
                return 0;
            default:
                return DefWindowProcW(window, message, wparam, lparam);
        }
    });
}

void CPreferencesWindow::open_page(size_t index) {
    if (index >= pages_.size()) return;
    if (callback_) static_cast<page_callback*>(callback_.get())->detach();
    page_.reset();
    callback_ = service_ptr_t<preferences_page_callback>(new service_impl_t<page_callback>(this));
    state_changes_ = 0;
    update_buttons();  // no page to apply or reset while the next one is made, nor when it fails
    page_ = pages_[index]->create_page_instance(window_, *callback_);
    layout();
    update_buttons();
}

void CPreferencesWindow::on_command(int id) {
    if (!page_) return;
    if (id == apply_button_id) {
        page_->apply();
    } else if (id == reset_button_id) {
        page_->reset();
    } else if (id == IDOK || id == IDCANCEL) {
        if (id == IDOK && (page_->page_state() & preferences_state_changed)) page_->apply();
        DestroyWindow(static_cast<HWND>(window_));
    }
}

void CPreferencesWindow::on_state_changed() {
    ++state_changes_;
    // Called from inside the page's own window procedure: a failure stops here, not in the page.
    boundary_.run([&] { update_buttons(); });
}

void CPreferencesWindow::update_buttons() {
    const uint32_t state = page_ ? page_->page_state() : 0;
    EnableWindow(static_cast<HWND>(button(apply_button_id)), (state & preferences_state_changed) != 0);
    EnableWindow(static_cast<HWND>(button(reset_button_id)), (state & preferences_state_resettable) != 0);
}

// The list on the left, the page beside it at its own size, the buttons in a row below.
void CPreferencesWindow::layout() {
    HWND window = static_cast<HWND>(window_);
    HWND page = static_cast<HWND>(page_window());
    RECT page_rect = {0, 0, 400, 300};
    if (page) GetWindowRect(page, &page_rect);
    const int page_width = page_rect.right - page_rect.left;
    const int page_height = page_rect.bottom - page_rect.top;
    const int page_left = margin + list_width + margin;
    if (page) SetWindowPos(page, nullptr, page_left, margin, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
    MoveWindow(GetDlgItem(window, page_list_id), margin, margin, list_width, page_height, TRUE);
    const int client_width = page_left + page_width + margin;
    const int buttons_top = margin + page_height + margin;
    const int button_ids[] = {reset_button_id, IDOK, IDCANCEL, apply_button_id};
    int left = client_width - 4 * (button_width + margin);
    for (int id : button_ids) {
        MoveWindow(GetDlgItem(window, id), left, buttons_top, button_width, button_height, TRUE);
        left += button_width + margin;
    }
    RECT frame = {0, 0, client_width, buttons_top + button_height + margin};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE)));
    SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top, SWP_NOMOVE | SWP_NOZORDER);
}

}  // namespace minihost
