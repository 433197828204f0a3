// CMyElemWindow: the sample element's window, painted in the host's colours and font; CFlashWindow:
// the translucent overlay that a bump shows over it twice. Every live instance is in one registry,
// in the order they were made, which a bump walks.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "helpers/resource_module.h"
#include "host/exceptions.h"
#include "sample/ui/element_rules.h"
#include "sample/ui/ui_elements.h"
#include "zorb/window_boundary.h"

namespace ambrel {
namespace {

constexpr wchar_t element_class_name[] = L"{DC2917D5-1288-4434-A28C-F16CFCE13C4B}";
constexpr wchar_t overlay_class_name[] = L"{2E124D52-131F-4004-A569-2316615BE63F}";
constexpr UINT_PTR flash_timer = 0x47F42DD0;
constexpr UINT flash_period_ms = 500;
constexpr BYTE overlay_alpha = 128;

HINSTANCE instance_handle() { return static_cast<HINSTANCE>(resource_module()); }

void register_class_once(const wchar_t* name, UINT style, HBRUSH background, WNDPROC procedure) {
    WNDCLASSW existing;
    if (GetClassInfoW(instance_handle(), name, &existing)) return;
    WNDCLASSW window_class = {};
    window_class.style = style;
    window_class.lpfnWndProc = procedure;
    window_class.hInstance = instance_handle();
    window_class.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // the arrow
    window_class.hbrBackground = background;
    window_class.lpszClassName = name;
    if (!RegisterClassW(&window_class)) throw exception_win32(GetLastError());
}

class CFlashWindow {
public:
    CFlashWindow() = default;
    CFlashWindow(const CFlashWindow&) = delete;
    CFlashWindow& operator=(const CFlashWindow&) = delete;
    ~CFlashWindow() {
        if (window_ != nullptr) DestroyWindow(window_);
    }

    // Shows the overlay over `target` now and once more after a second.
    void flash(HWND target) {
        target_ = target;
        if (window_ == nullptr) create();
        show();
        tick_ = 0;
        SetTimer(window_, flash_timer, flash_period_ms, nullptr);
    }
    void stop() {
        if (window_ == nullptr) return;
        KillTimer(window_, flash_timer);
        ShowWindow(window_, SW_HIDE);
    }

private:
    static LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
        auto* self = reinterpret_cast<CFlashWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == WM_TIMER && wparam == flash_timer && self != nullptr) {
            self->boundary_.run([&] { self->on_tick(); });
            return 0;
        }
        return DefWindowProcW(window, message, wparam, lparam);
    }
    void create() {
        register_class_once(overlay_class_name, 0, GetSysColorBrush(COLOR_HIGHLIGHT), window_proc);
        window_ =
            CreateWindowExW(WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_TRANSPARENT, overlay_class_name,
                            L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance_handle(), nullptr);
        if (window_ == nullptr) throw exception_win32(GetLastError());
        SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        SetLayeredWindowAttributes(window_, 0, overlay_alpha, LWA_ALPHA);
    }
    void show() const {
        RECT place;
        if (!IsWindow(target_) || !GetWindowRect(target_, &place)) return;
        SetWindowPos(window_, HWND_TOPMOST, place.left, place.top, place.right - place.left, place.bottom - place.top,
                     SWP_NOACTIVATE | SWP_SHOWWINDOW);
        // Painted at once: a flash lasts half a second.
        RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    }
    void on_tick() {
        switch (flash_step(++tick_)) {
            case flash_action::hide:
                ShowWindow(window_, SW_HIDE);
                break;
            case flash_action::show:
                show();
                break;
            case flash_action::hide_and_stop:
            case flash_action::none:
                stop();
                break;
        }
    }

    HWND window_ = nullptr;
    HWND target_ = nullptr;
    unsigned tick_ = 0;
    zorb::window_boundary boundary_;
};

class CMyElemWindow;
// The live instances, oldest first.
std::vector<CMyElemWindow*> instances;

class CMyElemWindow : public ui_element_instance {
public:
    CMyElemWindow(const ui_element_config& config, service_ptr_t<ui_element_instance_callback> callback)
        : config_(config), callback_(std::move(callback)) {}
    ~CMyElemWindow() {
        destroying_ = true;
        if (window_ != nullptr) DestroyWindow(window_);
    }

    void create(HWND parent) {
        register_class_once(element_class_name, CS_HREDRAW | CS_VREDRAW, nullptr, window_proc);
        if (!CreateWindowExW(0, element_class_name, L"Sample UI Element",
                             WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, 0, 0, parent, nullptr,
                             instance_handle(), this))
            throw exception_win32(GetLastError());
    }
    bool destroying() const { return destroying_; }
    bool has_window() const { return window_ != nullptr; }
    bool ask_activation() { return callback_->request_activation(this); }
    void flash() { flash_.flash(window_); }

    host_window get_wnd() override { return window_; }
    void set_configuration(const ui_element_config& config) override { config_ = config; }
    ui_element_config get_configuration() override { return config_; }
    GUID get_guid() override { return guid_sample_element; }
    GUID get_subclass() override { return ui_element_subclass_ids::utility; }
    void notify(const GUID& what, size_t param, const void*, size_t) override {
        if (what == ui_element_notify_ids::colors_changed || what == ui_element_notify_ids::font_changed)
            InvalidateRect(window_, nullptr, TRUE);
        else if (what == ui_element_notify_ids::visibility_changed && param == 0)
            flash_.stop();
    }
    void set_default_focus() override { SetFocus(window_); }
    ui_element_min_max_info get_min_max_info() override {
        ui_element_min_max_info limits;
        MINMAXINFO asked = {};
        asked.ptMaxTrackSize = {0x100000, 0x100000};
        SendMessageW(window_, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&asked));
        if (asked.ptMinTrackSize.x >= 0) limits.min_width = uint32_t(asked.ptMinTrackSize.x);
        if (asked.ptMinTrackSize.y >= 0) limits.min_height = uint32_t(asked.ptMinTrackSize.y);
        if (asked.ptMaxTrackSize.x > 0) limits.max_width = uint32_t(asked.ptMaxTrackSize.x);
        if (asked.ptMaxTrackSize.y > 0) limits.max_height = uint32_t(asked.ptMaxTrackSize.y);
        return limits;
    }

private:
    static LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
        if (message == WM_NCCREATE) {
            auto* self = static_cast<CMyElemWindow*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
            self->window_ = window;
            instances.push_back(self);
        }
        auto* self = reinterpret_cast<CMyElemWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self == nullptr) return DefWindowProcW(window, message, wparam, lparam);
        if (message == WM_NCDESTROY) {
            std::erase(instances, self);
            self->window_ = nullptr;
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        }
        LRESULT result = 0;
        if (self->boundary_.run<bool>(false, [&] { return self->handle(message, wparam, lparam, result); }))
            return result;
        return DefWindowProcW(window, message, wparam, lparam);
    }
    // True when the message was handled, with its result.
    bool handle(UINT message, WPARAM wparam, LPARAM, LRESULT& result) {
        switch (message) {
            case WM_ERASEBKGND: {
                RECT client;
                GetClientRect(window_, &client);
                HBRUSH brush = CreateSolidBrush(color(ui_color_ids::background, COLOR_WINDOW));
                FillRect(reinterpret_cast<HDC>(wparam), &client, brush);
                DeleteObject(brush);
                result = TRUE;
                return true;
            }
            case WM_PAINT:
                paint();
                return true;
            case WM_LBUTTONDOWN:
                callback_->element_clicked(this);
                return true;
            default:
                return false;
        }
    }
    void paint() {
        PAINTSTRUCT paint;
        HDC context = BeginPaint(window_, &paint);
        SetTextColor(context, color(ui_color_ids::text, COLOR_WINDOWTEXT));
        SetBkMode(context, TRANSPARENT);
        HGDIOBJ old_font = nullptr;
        if (void* font = callback_->query_font(ui_font_ids::default_font))
            old_font = SelectObject(context, static_cast<HFONT>(font));
        RECT client;
        GetClientRect(window_, &client);
        DrawTextW(context, L"This is a sample element.", -1, &client,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        if (old_font) SelectObject(context, old_font);
        EndPaint(window_, &paint);
    }
    COLORREF color(const GUID& what, int system_color) const {
        uint32_t value = 0;
        return callback_->query_color(what, value) ? COLORREF(value) : GetSysColor(system_color);
    }

    HWND window_ = nullptr;
    ui_element_config config_;
    service_ptr_t<ui_element_instance_callback> callback_;
    bool destroying_ = false;
    CFlashWindow flash_;
    zorb::window_boundary boundary_;
};

}  // namespace

service_ptr_t<ui_element_instance> ui_element_myimpl::instantiate(
    host_window parent, const ui_element_config& config, service_ptr_t<ui_element_instance_callback> callback) {
    service_ptr_t<CMyElemWindow> instance(new service_impl_t<CMyElemWindow>(config, std::move(callback)));
    instance->create(static_cast<HWND>(parent));
    return instance;
}

bool ui_element_myimpl::bump() {
    std::vector<bump_candidate> candidates;
    for (const CMyElemWindow* each : instances) candidates.push_back({each->destroying(), each->has_window()});
    // A copy: the host may make or drop instances while it activates one.
    const std::vector<CMyElemWindow*> walked = instances;
    const int target = bump_target(candidates, [&](size_t index) { return walked[index]->ask_activation(); });
    if (target < 0) return false;
    walked[size_t(target)]->flash();
    return true;
}

}  // namespace ambrel
