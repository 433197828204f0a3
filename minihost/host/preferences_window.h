// The host's preferences window: the list of the component's pages on the left, the chosen page
// in the middle, and Reset, OK, Cancel and Apply below, enabled as the page's state says.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/host_api.h"
#include "host/preferences.h"
#include "zorb/window_boundary.h"

namespace minihost {

class CPreferencesWindow {
public:
    // Button ids besides IDOK and IDCANCEL.
    static constexpr int apply_button_id = 1100;
    static constexpr int reset_button_id = 1101;
    static constexpr int page_list_id = 1102;

    // `report` is told every failure of a page (creating, applying, resetting it, its state) as it
    // happens; the window goes on without the page that failed.
    explicit CPreferencesWindow(host_api& api, zorb::window_boundary::report_t report = {});
    ~CPreferencesWindow();
    CPreferencesWindow(const CPreferencesWindow&) = delete;
    CPreferencesWindow& operator=(const CPreferencesWindow&) = delete;

    // Creates the window showing the first page; raises zorb::exception when there is no page or
    // a window cannot be created. A first page that fails is reported, as any later failure is.
    void create(bool visible);
    // Runs the window's messages until it is closed.
    void run_until_closed();
    // True once a page has failed while the window was open.
    bool failed() const { return boundary_.failed(); }

    host_window window() const { return window_; }
    host_window page_window() const;
    host_window button(int id) const;
    preferences_page_instance* page() const { return page_.get(); }
    // How often the page called state_changed since it was opened.
    int state_changes() const { return state_changes_; }

    // The window procedure's work for this window's messages.
    intptr_t handle(unsigned message, uintptr_t wparam, intptr_t lparam);

private:
    class page_callback;
    void open_page(size_t index);
    void on_command(int id);
    void on_state_changed();
    void update_buttons();
    void layout();

    host_api& api_;
    void* window_ = nullptr;  // HWND
    std::vector<service_ptr_t<preferences_page_v3>> pages_;
    service_ptr_t<preferences_page_instance> page_;
    service_ptr_t<preferences_page_callback> callback_;
    int state_changes_ = 0;
    zorb::window_boundary boundary_;
};

}  // namespace minihost
