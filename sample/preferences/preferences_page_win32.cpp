// CMyPreferences: the page instance and its child dialog, built from the IDD_MYPREFERENCES template.
#include <windows.h>

#include <string>

#include "helpers/console.h"
#include "helpers/resource_module.h"
#include "host/exceptions.h"
#include "host/shared.h"
#include "resources/resource.h"
#include "sample/preferences/preferences.h"
#include "zorb/window_boundary.h"

namespace ambrel {
namespace {

class CMyPreferences : public preferences_page_instance {
public:
    // Raises exception_win32 when the window cannot be created, and what its creation raised.
    CMyPreferences(HWND parent, preferences_page_callback& callback) : callback_(&callback) {
        window_ = CreateDialogParamW(static_cast<HINSTANCE>(resource_module()), MAKEINTRESOURCEW(IDD_MYPREFERENCES),
                                     parent, &CMyPreferences::dialog_proc, reinterpret_cast<LPARAM>(this));
        if (window_ == nullptr) throw exception_win32(GetLastError());
        if (boundary_.failed()) {
            DestroyWindow(window_);
            boundary_.rethrow_failure();
        }
    }
    ~CMyPreferences() {
        if (window_) DestroyWindow(window_);
    }

    uint32_t page_state() override {
        const bool changed = field(IDC_BOGO1) != cfg_bogo_setting_1.get() ||
                             field(IDC_BOGO2) != cfg_bogo_setting_2.get() || loop_box() != modules_loop_forever();
        return preferences_state_resettable | (changed ? preferences_state_changed : 0);
    }
    host_window page_window() override { return window_; }
    void apply() override {
        cfg_bogo_setting_1.set(field(IDC_BOGO1));
        cfg_bogo_setting_2.set(field(IDC_BOGO2));
        cfg_loop_modules.set(loop_box() ? 1 : 0);
        callback_->state_changed();
    }
    void reset() override {
        show_values(default_cfg_bogo_setting_1, default_cfg_bogo_setting_2, default_loop_modules);
        callback_->state_changed();
    }

private:
    static INT_PTR CALLBACK dialog_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
        if (message == WM_INITDIALOG) SetWindowLongPtrW(window, DWLP_USER, lparam);
        auto* self = reinterpret_cast<CMyPreferences*>(GetWindowLongPtrW(window, DWLP_USER));
        if (self == nullptr) return FALSE;
        return self->boundary_.run<INT_PTR>(FALSE, [&] { return self->handle(window, message, wparam); });
    }

    INT_PTR handle(HWND window, UINT message, WPARAM wparam) {
        switch (message) {
            case WM_INITDIALOG:
                on_init(window);
                return FALSE;  // the host's window decides where the focus goes
            case WM_COMMAND:
                if (HIWORD(wparam) == EN_CHANGE && (LOWORD(wparam) == IDC_BOGO1 || LOWORD(wparam) == IDC_BOGO2))
                    on_edit_change();
                else if (HIWORD(wparam) == BN_CLICKED && LOWORD(wparam) == IDC_LOOP_MODULES)
                    callback_->state_changed();
                return TRUE;
            case WM_DESTROY:
                window_ = nullptr;  // destroyed with its parent; the instance may live on
                return FALSE;
            default:
                return FALSE;
        }
    }

    void on_init(HWND window) {
        window_ = window;
        filling_ = true;
        show_values(cfg_bogo_setting_1.get(), cfg_bogo_setting_2.get(), modules_loop_forever());
        filling_ = false;
    }

    // The fields' own change notices while the page fills them at creation would reach a host
    // that does not hold the instance yet.
    void on_edit_change() {
        if (!filling_) callback_->state_changed();
    }

    void show_values(uint32_t setting_1, uint32_t setting_2, bool loop_modules) {
        uSetDlgItemText(window_, IDC_BOGO1, std::to_string(setting_1).c_str());
        uSetDlgItemText(window_, IDC_BOGO2, std::to_string(setting_2).c_str());
        CheckDlgButton(window_, IDC_LOOP_MODULES, loop_modules ? BST_CHECKED : BST_UNCHECKED);
    }

    bool loop_box() const { return IsDlgButtonChecked(window_, IDC_LOOP_MODULES) == BST_CHECKED; }

    uint32_t field(int id) const {
        zorb::string8 text;
        uGetDlgItemText(window_, id, text);
        return preferences_field_value(text.str());
    }

    HWND window_ = nullptr;
    bool filling_ = false;
    service_ptr_t<preferences_page_callback> callback_;
    // Failures while the page is created end its creation; later ones (the host's callback
    // failing) are reported on the console and the page goes on.
    zorb::window_boundary boundary_{[](const std::string& message) {
        console_print("kiv_ambrel: " + std::string(preferences_page_name) + ": " + message);
    }};
};

}  // namespace

service_ptr_t<preferences_page_instance> create_my_preferences(host_window parent,
                                                               preferences_page_callback& callback) {
    return service_ptr_t<preferences_page_instance>(
        new service_impl_t<CMyPreferences>(static_cast<HWND>(parent), callback));
}

}  // namespace ambrel
