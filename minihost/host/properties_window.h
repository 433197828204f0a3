// The host's track properties window: the rows of the properties view for a selection of tracks,
// group by group in a two-column list (name, value), with a Close button.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "host/host_api.h"
#include "host/metadb.h"
#include "minihost/host/track_properties.h"
#include "zorb/window_boundary.h"

namespace minihost {

// The lines of the list: a group's name alone on its line (empty value, `heading` set), then its
// rows, their names indented.
struct property_line {
    std::string name;
    std::string value;
    bool heading;
    bool operator==(const property_line&) const = default;
};
std::vector<property_line> property_lines(const std::vector<property_row>& rows);

class CPropertiesWindow {
public:
    static constexpr int list_id = 1200;

    explicit CPropertiesWindow(std::vector<property_row> rows) : lines_(property_lines(rows)) {}
    ~CPropertiesWindow();
    CPropertiesWindow(const CPropertiesWindow&) = delete;
    CPropertiesWindow& operator=(const CPropertiesWindow&) = delete;

    // Creates the window, owned by `owner` (may be null); raises zorb::exception when it cannot.
    void create(host_window owner, bool visible);
    // Runs the window's messages until it is closed.
    void run_until_closed();

    host_window window() const { return window_; }
    host_window list() const;

    // The window procedure's work for this window's messages.
    intptr_t handle(unsigned message, uintptr_t wparam, intptr_t lparam);

private:
    void layout();

    std::vector<property_line> lines_;
    void* window_ = nullptr;  // HWND
    zorb::window_boundary boundary_;
};

// Opens the properties window of `tracks` (owned by the host's main window, when there is one) and
// returns when it is closed: 0, or 1 after printing to standard error why it could not be shown or
// which property provider failed.
int show_properties_window(host_api& api, const metadb_handle_list& tracks, double close_after_seconds);

}  // namespace minihost
