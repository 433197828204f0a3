// CDialogResizeHelper: moves a dialog's controls when the dialog is resized, each edge of a control
// by a fraction of the change of the dialog's client size.
#pragma once

#include <windows.h>

#include <vector>

namespace ambrel {

class CDialogResizeHelper {
public:
    // How much of the width change moves a control's left and right edges, and of the height change
    // its top and bottom edges: 0 stays, 1 follows the dialog's right or bottom side.
    struct rule {
        int control_id;
        float left, top, right, bottom;
    };

    explicit CDialogResizeHelper(std::vector<rule> rules) : rules_(std::move(rules)) {}

    // Sees every message of the dialog before its handlers: WM_INITDIALOG takes the controls'
    // places and the client size (the smallest size the dialog can be dragged to), WM_SIZE moves
    // the controls, WM_GETMINMAXINFO keeps the dialog at least as large as it was made.
    void process_message(HWND dialog, UINT message, LPARAM lparam);

private:
    struct placed {
        HWND control;
        RECT start;  // in the dialog's client coordinates at WM_INITDIALOG
        const rule* how;
    };
    void take_places(HWND dialog);
    void move_controls(HWND dialog, int width, int height) const;

    std::vector<rule> rules_;
    std::vector<placed> placed_;
    SIZE start_client_ = {};
    SIZE start_window_ = {};
};

}  // namespace ambrel
