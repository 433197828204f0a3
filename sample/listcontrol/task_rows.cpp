#include "sample/listcontrol/task_rows.h"

namespace ambrel {
namespace {

// Marks the rows at `indexes` below `count`.
std::vector<bool> marked(const std::vector<size_t>& indexes, size_t count) {
    std::vector<bool> marks(count, false);
    for (size_t index : indexes)
        if (index < count) marks[index] = true;
    return marks;
}

}  // namespace

task_rows task_rows::sample() {
    const char* const names[] = {"Write the loaders",    "Tune the mixer",        "Draw the icons",
                                 "Test the S3M files",   "Measure the speed",     "Read the bug reports",
                                 "Translate the menus",  "Record the demo songs", "Answer the mail",
                                 "Plan the next release"};
    std::vector<task_row> rows;
    int n = 0;
    for (const char* name : names) {
        rows.push_back({name, n % 3 == 0, n % 3});
        ++n;
    }
    return task_rows(std::move(rows));
}

std::vector<list_column> task_rows::columns() { return {{"Task", 220}, {"Priority", 80}, {"Position", 70, true}}; }

std::string task_rows::cell_text(size_t row, size_t column) const {
    static const char* const priorities[] = {"Low", "Normal", "High"};
    switch (column) {
        case name_column:
            return rows_[row].name;
        case priority_column:
            return priorities[rows_[row].priority % 3];
        default:
            return std::to_string(row + 1);
    }
}

size_t task_rows::checked_count() const {
    size_t count = 0;
    for (const task_row& row : rows_) count += row.done ? 1 : 0;
    return count;
}

bool task_rows::rename(size_t row, std::string_view name) {
    const size_t first = name.find_first_not_of(" \t");
    if (row >= rows_.size() || first == std::string_view::npos) return false;
    rows_[row].name = std::string(name.substr(first, name.find_last_not_of(" \t") - first + 1));
    return true;
}

void task_rows::set_checked(size_t row, bool done) {
    if (row < rows_.size()) rows_[row].done = done;
}

void task_rows::cycle_priority(size_t row) {
    if (row < rows_.size()) rows_[row].priority = (rows_[row].priority + 1) % 3;
}

std::vector<size_t> task_rows::move(const std::vector<size_t>& moved, size_t gap) {
    const std::vector<bool> marks = marked(moved, rows_.size());
    std::vector<task_row> staying, moving;
    size_t insert_at = 0;  // where the gap falls among the rows that stay
    for (size_t i = 0; i < rows_.size(); ++i) {
        if (i == gap) insert_at = staying.size();
        (marks[i] ? moving : staying).push_back(std::move(rows_[i]));
    }
    if (gap >= rows_.size()) insert_at = staying.size();
    std::vector<size_t> positions;
    for (size_t i = 0; i < moving.size(); ++i) positions.push_back(insert_at + i);
    staying.insert(staying.begin() + static_cast<std::ptrdiff_t>(insert_at), std::make_move_iterator(moving.begin()),
                   std::make_move_iterator(moving.end()));
    rows_ = std::move(staying);
    return positions;
}

void task_rows::remove(const std::vector<size_t>& removed) {
    const std::vector<bool> marks = marked(removed, rows_.size());
    std::vector<task_row> kept;
    for (size_t i = 0; i < rows_.size(); ++i)
        if (!marks[i]) kept.push_back(std::move(rows_[i]));
    rows_ = std::move(kept);
}

}  // namespace ambrel
