// One window per demo: opening it again brings the open one to the front.
#include <windows.h>

#include "sample/listcontrol/list_demo_window_win32.h"
#include "sample/listcontrol/list_demos.h"

namespace ambrel {

std::unique_ptr<CListDemoWindow> make_simple_list_demo();
std::unique_ptr<CListDemoWindow> make_owner_data_list_demo();
std::unique_ptr<CListDemoWindow> make_advanced_list_demo();

void open_list_demo(list_demo which) {
    static HWND open_windows[3] = {};
    HWND& open = open_windows[static_cast<int>(which)];
    if (open != nullptr) {
        if (IsIconic(open)) ShowWindow(open, SW_RESTORE);
        SetForegroundWindow(open);
        BringWindowToTop(open);
        return;
    }
    switch (which) {
        case list_demo::simple:
            CListDemoWindow::open(make_simple_list_demo(), open);
            break;
        case list_demo::owner_data:
            CListDemoWindow::open(make_owner_data_list_demo(), open);
            break;
        case list_demo::advanced:
            CListDemoWindow::open(make_advanced_list_demo(), open);
            break;
    }
}

}  // namespace ambrel
