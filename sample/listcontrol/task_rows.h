// The rows of the advanced demo: a small list of tasks, each with a name the person may edit, a
// tick, and a priority that cycles when its cell is clicked. The demo window changes them only
// through these operations.
#pragma once

#include <cstdint>
#include <vector>

#include "sample/listcontrol/list_source.h"

namespace ambrel {

struct task_row {
    std::string name;
    bool done = false;
    int priority = 1;  // 0 low, 1 normal, 2 high
    bool operator==(const task_row&) const = default;
};

class task_rows final : public list_source {
public:
    static constexpr size_t name_column = 0;
    static constexpr size_t priority_column = 1;

    explicit task_rows(std::vector<task_row> rows) : rows_(std::move(rows)) {}
    // The rows the demo opens with.
    static task_rows sample();
    static std::vector<list_column> columns();

    size_t row_count() const override { return rows_.size(); }
    // Name, priority ("Low", "Normal", "High"), position (1-based, as it stands now).
    std::string cell_text(size_t row, size_t column) const override;
    bool is_checked(size_t row) const override { return rows_[row].done; }

    const std::vector<task_row>& rows() const { return rows_; }
    size_t checked_count() const;

    // Renames `row` to `name` without its leading and trailing blanks; false, leaving it as it was,
    // when nothing else is left or `row` is past the end.
    bool rename(size_t row, std::string_view name);
    void set_checked(size_t row, bool done);
    // Low, Normal, High, then Low again.
    void cycle_priority(size_t row);
    // Moves the rows at `moved` (any order; repeats and rows past the end ignored), keeping their
    // order, into the gap `gap` (0 before the first row .. row_count() after the last), counted
    // before the move. Their new positions, in order.
    std::vector<size_t> move(const std::vector<size_t>& moved, size_t gap);
    // Removes the rows at `removed`; the others keep their order.
    void remove(const std::vector<size_t>& removed);

private:
    std::vector<task_row> rows_;
};

}  // namespace ambrel
