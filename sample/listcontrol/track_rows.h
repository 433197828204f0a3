// The rows of the simple demo: tracks with a few columns, sorted by a column when its header is
// clicked, and copied as text.
#pragma once

#include <array>
#include <vector>

#include "host/metadb.h"
#include "sample/listcontrol/list_source.h"

namespace ambrel {

class track_rows final : public list_source {
public:
    static constexpr size_t column_count = 4;
    static constexpr size_t length_column = 3;
    using cells = std::array<std::string, column_count>;  // file name, title, format, length

    explicit track_rows(std::vector<cells> rows) : rows_(std::move(rows)) {}
    // The tracks' cells: the file name of the path, the first "title" value, the extension in upper
    // case, the length as minutes and seconds (empty when the host knows none).
    static track_rows of_tracks(const metadb_handle_list& tracks);
    // The fixed set shown when the playlist is empty.
    static track_rows sample();
    static std::vector<list_column> columns();

    size_t row_count() const override { return rows_.size(); }
    std::string cell_text(size_t row, size_t column) const override { return rows_[row][column]; }

    // Sorts the rows by `column`, ascending or descending; rows that compare equal keep their order.
    // Texts compare in natural order (natural_compare), lengths by the time they stand for. For each
    // row's old position, its new one.
    std::vector<size_t> sort(size_t column, bool ascending);

    // The rows at `selected`, in list order: each one's cells joined by tabs, the lines ended by
    // "\r\n"; empty when none is selected.
    std::string copy_text(const std::vector<size_t>& selected) const;

private:
    std::vector<cells> rows_;
};

// Compares two texts as the list sorts them, letters without case and runs of digits by their value
// ("track2" before "track10"): negative, zero or positive.
int natural_compare(std::string_view a, std::string_view b);

}  // namespace ambrel
