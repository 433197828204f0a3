// CDialogUIElem: the dialog element's instance, a child dialog whose check boxes lock its size limits
// and whose top line shows its size.
#include <windows.h>

#include "helpers/resource_module.h"
#include "host/exceptions.h"
#include "resources/resource.h"
#include "sample/ui/element_rules.h"
#include "sample/ui/ui_elements.h"
#include "zorb/unicode.h"
#include "zorb/window_boundary.h"

namespace ambrel {
namespace {

struct screen_dpi {
    int x, y;
};

screen_dpi dpi_of(HWND window) {
    HDC context = GetDC(window);
    const screen_dpi dpi = {GetDeviceCaps(context, LOGPIXELSX), GetDeviceCaps(context, LOGPIXELSY)};
    ReleaseDC(window, context);
    return dpi;
}

class CDialogUIElem : public ui_element_instance {
public:
    CDialogUIElem(const ui_element_config& config, service_ptr_t<ui_element_instance_callback> callback)
        : callback_(std::move(callback)), flags_(lock_flags_from(config.bytes())) {}
    ~CDialogUIElem() {
        if (window_ != nullptr) DestroyWindow(window_);
    }

    void create(HWND parent) {
        if (!CreateDialogParamW(static_cast<HINSTANCE>(resource_module()), MAKEINTRESOURCEW(IDD_DIALOG_ELEMENT), parent,
                                dialog_proc, reinterpret_cast<LPARAM>(this)))
            throw exception_win32(GetLastError());
        boundary_.rethrow_failure();
        ShowWindow(window_, SW_SHOW);
    }

    host_window get_wnd() override { return window_; }
    void set_configuration(const ui_element_config& config) override {
        flags_ = lock_flags_from(config.bytes());
        if (window_ != nullptr) show_flags();
        callback_->limits_changed(this);
    }
    ui_element_config get_configuration() override { return {guid_dialog_element, lock_flags_bytes(flags_)}; }
    GUID get_guid() override { return guid_dialog_element; }
    GUID get_subclass() override { return ui_element_subclass_ids::utility; }
    void notify(const GUID&, size_t, const void*, size_t) override {}
    void set_default_focus() override { SetFocus(window_); }
    ui_element_min_max_info get_min_max_info() override {
        RECT frame = {0, 0, 10, 10};
        AdjustWindowRectEx(&frame, DWORD(GetWindowLongW(window_, GWL_STYLE)), GetMenu(window_) != nullptr,
                           DWORD(GetWindowLongW(window_, GWL_EXSTYLE)));
        const screen_dpi dpi = dpi_of(window_);
        return lock_limits(flags_, dpi.x, dpi.y, frame.right - frame.left - 10, frame.bottom - frame.top - 10);
    }

private:
    static INT_PTR CALLBACK dialog_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
        if (message == WM_INITDIALOG) {
            SetWindowLongPtrW(window, DWLP_USER, lparam);
            reinterpret_cast<CDialogUIElem*>(lparam)->window_ = window;
        }
        auto* self = reinterpret_cast<CDialogUIElem*>(GetWindowLongPtrW(window, DWLP_USER));
        if (self == nullptr) return FALSE;
        if (message == WM_NCDESTROY) {
            self->window_ = nullptr;
            SetWindowLongPtrW(window, DWLP_USER, 0);
            return FALSE;
        }
        return self->boundary_.run<INT_PTR>(FALSE, [&] { return self->handle(message, wparam); });
    }
    INT_PTR handle(UINT message, WPARAM wparam) {
        switch (message) {
            case WM_INITDIALOG:
                show_flags();
                show_size();
                return FALSE;  // the focus stays where the host puts it
            case WM_SIZE:
                show_size();
                return FALSE;
            case WM_COMMAND:
                if (HIWORD(wparam) != BN_CLICKED || lock_flag_of_box(LOWORD(wparam)) == 0) return FALSE;
                on_box(LOWORD(wparam));
                return TRUE;
            default:
                return FALSE;
        }
    }
    void on_box(int box_id) {
        const uint32_t bit = lock_flag_of_box(box_id);
        const uint32_t before = flags_;
        if (IsDlgButtonChecked(window_, box_id) == BST_CHECKED)
            flags_ |= bit;
        else
            flags_ &= ~bit;
        if (flags_ != before) callback_->limits_changed(this);
    }
    void show_flags() const {
        for (int box = first_lock_box; box < first_lock_box + lock_box_count; ++box)
            CheckDlgButton(window_, box, flags_ & lock_flag_of_box(box) ? BST_CHECKED : BST_UNCHECKED);
    }
    void show_size() const {
        RECT client;
        GetClientRect(window_, &client);
        const screen_dpi dpi = dpi_of(window_);
        SetDlgItemTextW(window_, IDC_ELEMENT_SIZE,
                        zorb::wide_from_utf8(size_line(client.right, client.bottom, dpi.x, dpi.y)).c_str());
    }

    HWND window_ = nullptr;
    service_ptr_t<ui_element_instance_callback> callback_;
    uint32_t flags_;
    zorb::window_boundary boundary_;
};

}  // namespace

service_ptr_t<ui_element_instance> ui_element_dialog_myimpl::instantiate(
    host_window parent, const ui_element_config& config, service_ptr_t<ui_element_instance_callback> callback) {
    service_ptr_t<CDialogUIElem> instance(new service_impl_t<CDialogUIElem>(config, std::move(callback)));
    instance->create(static_cast<HWND>(parent));
    return instance;
}

}  // namespace ambrel
