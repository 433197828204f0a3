// CListControl: the system's list view in report mode over a list_source. The list holds no rows
// (owner data): it asks the source for each cell it shows, so a million rows cost nothing until
// they scroll into view. Selection, focus, keyboard navigation and scrolling are the list view's;
// check boxes, type-to-find and the texts are answered from the source.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <vector>

#include "sample/listcontrol/list_source.h"

namespace ambrel {

class CListControl {
public:
    struct options {
        bool check_boxes = false;  // a tick box before each row, asked of the source
        bool edit_labels = false;  // the first column can be edited in place
    };

    // Creates the list as child `id` of `parent` with `columns`, their widths scaled for the
    // parent's screen. `source` must outlive the list. Raises exception_win32 when the system refuses.
    void create(HWND parent, int id, const std::vector<list_column>& columns, const list_source& source,
                options chosen);
    HWND window() const { return window_; }

    // Answers the list's requests that its WM_NOTIFY carries (texts, check states, type-to-find):
    // true with `result` set when it did; false for every other notification, which the window
    // handles itself.
    bool answer(NMHDR& notification, LRESULT& result) const;

    // The source's rows changed: the row count is asked again and every visible row redrawn.
    void reload() const;
    void redraw_row(size_t row) const;

    std::vector<size_t> selected_rows() const;
    size_t selected_count() const;
    // Selects exactly `rows` and focuses the first of them, scrolled into view.
    void select_rows(const std::vector<size_t>& rows) const;
    // The focused row, or list_source::npos.
    size_t focused_row() const;

    // The row and column at `point` in the list's client coordinates; row npos when none. True
    // when the point lies on a row's check box.
    struct hit {
        size_t row = list_source::npos;
        size_t column = 0;
        bool on_check_box = false;
    };
    hit hit_test(POINT point) const;
    // The gap a drop at `point` falls into: before the row under the point, or after it when the
    // point lies in its lower half; the row count below the last row.
    size_t gap_at(POINT point) const;

    // Shows the sort arrow on `column` (none elsewhere).
    void show_sort_arrow(size_t column, bool ascending) const;

private:
    HWND window_ = nullptr;
    const list_source* source_ = nullptr;
    size_t column_count_ = 0;
};

}  // namespace ambrel
