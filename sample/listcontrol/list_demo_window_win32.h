// CListDemoWindow: what the three list-control demos share. A resizable modeless dialog owned by the
// host's main window: one CListControl over the client area and a status line below it. While it
// exists it is registered with the host's modeless-dialog registry, so the host's message loop
// gives it its dialog keys and Escape closes it. It owns itself: its window's end deletes it.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "sample/listcontrol/list_control_win32.h"
#include "zorb/window_boundary.h"

namespace ambrel {

class CListDemoWindow {
public:
    virtual ~CListDemoWindow();
    CListDemoWindow(const CListDemoWindow&) = delete;
    CListDemoWindow& operator=(const CListDemoWindow&) = delete;

    // Creates and shows the window of `demo`, which from then on owns itself; `slot` holds the
    // window while it exists and is emptied when it ends. Raises exception_win32 when the system
    // refuses (the demo is deleted then).
    static void open(std::unique_ptr<CListDemoWindow> demo, HWND& slot);

protected:
    explicit CListDemoWindow(std::string title) : title_(std::move(title)) {}

    HWND window() const { return window_; }
    // Creates list_ over the demo's rows.
    virtual void create_list() = 0;
    // The status line, asked again after every change of the selection and on refresh_status.
    virtual std::string status_text() const = 0;
    // A notification of the list that CListControl does not answer: true with `result` when the
    // demo handled it.
    virtual bool on_list_notify(NMHDR& notification, LRESULT& result) {
        (void)notification, (void)result;
        return false;
    }
    // A context menu asked for on the list: `point` in screen coordinates.
    virtual void on_context_menu(POINT point) { (void)point; }
    // The mouse while the window holds the capture (a drag): points in the list's client coordinates.
    virtual void on_drag_move(POINT point) { (void)point; }
    virtual void on_drag_drop(POINT point) { (void)point; }
    virtual void on_drag_cancel() {}

    void refresh_status() const;
    // Where a context menu opens for `point` as WM_CONTEXTMENU gives it: the point itself, or for the
    // menu key (-1, -1) the middle of the focused row (the list's top left corner without one).
    POINT menu_point(POINT point) const;
    // Runs `menu` (an HMENU, destroyed afterwards) at `point`; the id chosen, 0 for none.
    UINT track_menu(HMENU menu, POINT point) const;

    CListControl list_;

private:
    static INT_PTR CALLBACK dialog_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    INT_PTR handle(UINT message, WPARAM wparam, LPARAM lparam);
    void on_init();
    void layout() const;
    void show_failure();
    POINT list_point(LPARAM lparam) const;

    std::string title_;
    HWND window_ = nullptr;
    HWND status_ = nullptr;
    HWND* slot_ = nullptr;
    zorb::window_boundary boundary_;
};

}  // namespace ambrel
