// CDemoDialog: the window of the UI and threads demo. The window and everything in it belong to the
// user-interface thread; each Start runs one worker thread (_beginthreadex) that holds its own
// references to the shared data and to its abort object, and hands every report to the host's
// main-thread callback service. A report runs only when its worker's abort is still clear when it
// arrives, so a worker that was cancelled, replaced or left behind by a closed window never touches
// a window again.
#include <windows.h>

#include <commctrl.h>
#include <process.h>

#include <memory>
#include <string>

#include "helpers/client.h"
#include "helpers/owned_dialog_win32.h"
#include "helpers/popup.h"
#include "helpers/resource_module.h"
#include "host/exceptions.h"
#include "host/main_thread.h"
#include "host/modeless.h"
#include "host/service_lookup.h"
#include "resources/resource.h"
#include "sample/commands/demo_dialog.h"
#include "sample/commands/demo_work.h"
#include "sample/commands/dialog_resize_win32.h"
#include "zorb/unicode.h"
#include "zorb/window_boundary.h"

namespace ambrel {
namespace {

class CDemoDialog;

// What the window and its workers share: the selection and the dialog the reports go to (valid
// while the abort of the report's worker is clear, because the window aborts its work as it ends).
struct sharedData_t {
    metadb_handle_list tracks;
    CDemoDialog* dialog = nullptr;
};

using abort_ref = std::shared_ptr<abort_callback_impl>;

class CDemoDialog {
public:
    explicit CDemoDialog(const metadb_handle_list& tracks) : shared_(std::make_shared<sharedData_t>()) {
        shared_->tracks = tracks;
        shared_->dialog = this;
    }

    static void open(const metadb_handle_list& tracks);

    // The changes a worker's reports make, on the user-interface thread.
    void clear_list() { SendMessageW(list_, LB_RESETCONTENT, 0, 0); }
    void add_line(const std::string& text) {
        SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(zorb::wide_from_utf8(text).c_str()));
    }
    void show_finished() {
        current_abort_.reset();
        set_look("Close", "Finished, ready");
    }

private:
    static INT_PTR CALLBACK dialog_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    INT_PTR handle(UINT message, WPARAM wparam, LPARAM lparam);
    void on_init();
    void start();
    bool abort_work();
    void set_look(const char* button, const char* status) {
        SetDlgItemTextW(window_, IDCANCEL, zorb::wide_from_utf8(button).c_str());
        SetWindowTextW(status_, zorb::wide_from_utf8(status).c_str());
    }
    void tell_registry(bool add) const;

    HWND window_ = nullptr;
    bool handled_ = false;
    abort_ref current_abort_;
    std::shared_ptr<sharedData_t> shared_;
    CDialogResizeHelper resizer_{{
        {IDOK, 1, 1, 1, 1},
        {IDCANCEL, 1, 1, 1, 1},
        {IDC_DEMO_HEADER, 0, 0, 1, 0},
        {IDC_DEMO_LIST, 0, 0, 1, 1},
    }};
    HWND list_ = nullptr;
    HWND status_ = nullptr;
    // A handler's failure (the worker thread refused, say) is told at once; the window stays.
    zorb::window_boundary boundary_{
        [](const std::string& message) { popup_message_show(message, "UI and Threads Demo", popup_icon_error); }};
};

// The worker's reports, each handed to the user-interface thread and dropped there when the
// worker's abort was set meanwhile.
class posting_reporter final : public demo_reporter {
public:
    posting_reporter(std::shared_ptr<sharedData_t> shared, abort_ref abort)
        : shared_(std::move(shared)), abort_(std::move(abort)) {}
    void clear() override {
        post([](CDemoDialog& dialog) { dialog.clear_list(); });
    }
    void line(const std::string& text) override {
        post([text](CDemoDialog& dialog) { dialog.add_line(text); });
    }
    void finished() override {
        post([](CDemoDialog& dialog) { dialog.show_finished(); });
    }

private:
    template <typename Change>
    void post(Change change) const {
        main_thread_callback_add(host(), [shared = shared_, abort = abort_, change] {
            if (!abort->is_aborting()) change(*shared->dialog);
        });
    }
    std::shared_ptr<sharedData_t> shared_;
    abort_ref abort_;
};

struct worker_start {
    std::shared_ptr<sharedData_t> shared;
    abort_ref abort;
};

unsigned __stdcall worker_main(void* parameter) {
    const std::unique_ptr<worker_start> start(static_cast<worker_start*>(parameter));
    posting_reporter report(start->shared, start->abort);
    run_demo_work(start->shared->tracks, *start->abort, report);
    return 0;
}

void CDemoDialog::open(const metadb_handle_list& tracks) {
    const INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_BAR_CLASSES};
    InitCommonControlsEx(&classes);
    auto* self = new CDemoDialog(tracks);
    create_owned_dialog(self, IDD_THREADS_DEMO, dialog_proc, self->boundary_);
}

INT_PTR CALLBACK CDemoDialog::dialog_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lparam);
        reinterpret_cast<CDemoDialog*>(lparam)->window_ = window;
    }
    auto* self = reinterpret_cast<CDemoDialog*>(GetWindowLongPtrW(window, DWLP_USER));
    if (self == nullptr) return FALSE;
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, DWLP_USER, 0);
        delete self;
        return FALSE;
    }
    return self->boundary_.run<INT_PTR>(FALSE, [&] {
        self->resizer_.process_message(window, message, lparam);
        self->handled_ = true;
        const INT_PTR result = self->handle(message, wparam, lparam);
        return self->handled_ ? result : FALSE;
    });
}

INT_PTR CDemoDialog::handle(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_INITDIALOG:
            on_init();
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wparam) == IDOK) {
                start();
            } else if (LOWORD(wparam) == IDCANCEL) {
                if (abort_work())
                    show_finished();
                else
                    DestroyWindow(window_);
            } else {
                handled_ = false;
            }
            return TRUE;
        case WM_CLOSE:
            DestroyWindow(window_);
            return TRUE;
        case WM_DESTROY:
            abort_work();
            tell_registry(false);
            return FALSE;
        case WM_SIZE:
            SendMessageW(status_, WM_SIZE, wparam, lparam);
            return TRUE;
        default:
            handled_ = false;
            return FALSE;
    }
}

void CDemoDialog::on_init() {
    list_ = GetDlgItem(window_, IDC_DEMO_LIST);
    SetDlgItemTextW(
        window_, IDC_DEMO_HEADER,
        zorb::wide_from_utf8("Selected: " + std::to_string(shared_->tracks.get_count()) + " tracks.").c_str());
    status_ = CreateWindowExW(0, STATUSCLASSNAMEW, L"Ready", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0,
                              window_, nullptr, static_cast<HINSTANCE>(resource_module()), nullptr);
    if (status_ == nullptr) throw exception_win32(GetLastError());
    tell_registry(true);
    ShowWindow(window_, SW_SHOW);
}

void CDemoDialog::start() {
    abort_work();
    set_look("Cancel", "Working...");
    current_abort_ = std::make_shared<abort_callback_impl>();
    auto* parameter = new worker_start{shared_, current_abort_};
    const uintptr_t thread = _beginthreadex(nullptr, 0, worker_main, parameter, 0, nullptr);
    if (thread == 0) {
        delete parameter;
        current_abort_.reset();
        set_look("Close", "Finished, ready");
        throw exception_win32(GetLastError());
    }
    CloseHandle(reinterpret_cast<HANDLE>(thread));
}

bool CDemoDialog::abort_work() {
    if (!current_abort_) return false;
    current_abort_->abort();
    current_abort_.reset();
    add_line("Aborted by user.");
    return true;
}

void CDemoDialog::tell_registry(bool add) const {
    service_ptr_t<modeless_dialog_manager> registry;
    if (!service_try_lookup_one_t(host(), registry)) return;
    if (add)
        registry->add(window_);
    else
        registry->remove(window_);
}

}  // namespace

void open_demo_dialog(const metadb_handle_list& tracks) { CDemoDialog::open(tracks); }

}  // namespace ambrel
