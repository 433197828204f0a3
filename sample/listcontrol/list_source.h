// What a CListControl shows and the arithmetic around it, apart from any window: the control keeps
// no copy of its rows and asks its source for each cell as it comes into view.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ambrel {

// A column of a list control.
struct list_column {
    const char* title;
    int width;  // pixels at 96 dots per inch; the control scales it to the screen
    bool right_aligned = false;
};

// Asked on the thread of the control's window, one cell at a time.
class list_source {
public:
    static constexpr size_t npos = static_cast<size_t>(-1);

    virtual ~list_source() = default;
    virtual size_t row_count() const = 0;
    // The text of a cell; `row` below row_count().
    virtual std::string cell_text(size_t row, size_t column) const = 0;
    // Whether `row` is ticked; asked only of a control with check boxes.
    virtual bool is_checked(size_t row) const {
        (void)row;
        return false;
    }
    // Type-to-find: the first row from `start` on, wrapping round to the top, whose first cell starts
    // with `prefix` (letters compared without case); npos when none does. This one asks every row in
    // turn; a source of many rows answers without walking them.
    virtual size_t find_row(std::string_view prefix, size_t start) const;
};

// Pixels for `units` pixels at 96 dots per inch on a screen of `dpi`: rounded to the nearest; a
// screen that reports less than 1 counts as 96.
int scale_for_dpi(int units, int dpi);

// `count` in decimal with a comma between groups of three digits: "1,000,000".
std::string count_text(size_t count);

// `c` in lower case when it is an ASCII capital letter.
inline char fold_ascii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// True when `text` starts with `prefix`, ASCII letters compared without case.
bool starts_with_nocase(std::string_view text, std::string_view prefix);

}  // namespace ambrel
