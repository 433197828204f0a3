// CMyDSPPopup: the gain slider dialog, built from the IDD_DSP template.
#include <windows.h>

#include <commctrl.h>

#include "helpers/resource_module.h"
#include "host/shared.h"
#include "resources/resource.h"
#include "sample/dsp/dsp_popup.h"
#include "sample/dsp/dsp_sample.h"
#include "zorb/window_boundary.h"

namespace ambrel {
namespace {

class CMyDSPPopup {
public:
    CMyDSPPopup(const dsp_preset& start, preset_edit_callback& callback) : start_(start), callback_(callback) {}

    // The dialog's result: IDOK, IDCANCEL, IDABORT after a handler failed (the failure is kept in
    // boundary()), or -1 when it could not be created.
    INT_PTR run(HWND parent) {
        const INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_BAR_CLASSES};
        InitCommonControlsEx(&classes);
        return DialogBoxParamW(static_cast<HINSTANCE>(resource_module()), MAKEINTRESOURCEW(IDD_DSP), parent,
                               &CMyDSPPopup::dialog_proc, reinterpret_cast<LPARAM>(this));
    }

    zorb::window_boundary& boundary() { return boundary_; }

private:
    static INT_PTR CALLBACK dialog_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
        if (message == WM_INITDIALOG) SetWindowLongPtrW(window, DWLP_USER, lparam);
        auto* self = reinterpret_cast<CMyDSPPopup*>(GetWindowLongPtrW(window, DWLP_USER));
        if (self == nullptr) return FALSE;
        const INT_PTR result =
            self->boundary_.run<INT_PTR>(TRUE, [&] { return self->handle(window, message, wparam, lparam); });
        // A failure ends the dialog: whoever opened it hears of it once DialogBox has returned.
        if (self->boundary_.failed()) EndDialog(window, IDABORT);
        return result;
    }

    INT_PTR handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
        switch (message) {
            case WM_INITDIALOG:
                on_init(window);
                return TRUE;
            case WM_HSCROLL:
                if (reinterpret_cast<HWND>(lparam) == GetDlgItem(window, IDC_SLIDER)) on_slider_moved(window);
                return TRUE;
            case WM_COMMAND:
                if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) EndDialog(window, LOWORD(wparam));
                return TRUE;
            default:
                return FALSE;
        }
    }

    void on_init(HWND window) {
        const float gain_db = dsp_sample_gain_from_preset(start_);
        const int last_position = dsp_popup_slider_position(static_cast<float>(dsp_popup_highest_gain));
        SendDlgItemMessageW(window, IDC_SLIDER, TBM_SETRANGE, FALSE, MAKELPARAM(0, last_position));
        SendDlgItemMessageW(window, IDC_SLIDER, TBM_SETPOS, TRUE, dsp_popup_slider_position(gain_db));
        show_gain(window, gain_db);
    }

    void on_slider_moved(HWND window) {
        const auto position = static_cast<int>(SendDlgItemMessageW(window, IDC_SLIDER, TBM_GETPOS, 0, 0));
        const float gain_db = dsp_popup_gain_at(position);
        dsp_preset_impl preset;
        dsp_sample_make_preset(gain_db, preset);
        callback_.on_preset_changed(preset);
        show_gain(window, gain_db);
    }

    static void show_gain(HWND window, float gain_db) {
        uSetDlgItemText(window, IDC_SLIDER_LABEL, dsp_popup_label(gain_db).c_str());
    }

    const dsp_preset& start_;  // the caller's own copy: the host may change its preset while the dialog runs
    preset_edit_callback& callback_;
    zorb::window_boundary boundary_;
};

}  // namespace

void run_dsp_popup(const dsp_preset& preset, host_window parent, preset_edit_callback& callback) {
    const dsp_preset_impl start(preset);
    CMyDSPPopup popup(start, callback);
    if (popup.run(static_cast<HWND>(parent)) != IDOK) {
        try {
            callback.on_preset_changed(start);
        } catch (...) {
            // After a failure inside the dialog that one is handed on, not this.
            if (!popup.boundary().failed()) throw;
        }
    }
    popup.boundary().rethrow_failure();
}

}  // namespace ambrel
