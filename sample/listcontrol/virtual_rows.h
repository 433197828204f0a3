// The rows of the owner-data demo: a million of them, each made from its number when it is asked
// for, none kept.
#pragma once

#include <vector>

#include "sample/listcontrol/list_source.h"

namespace ambrel {

class virtual_rows final : public list_source {
public:
    static constexpr size_t default_count = 1000000;

    explicit virtual_rows(size_t count = default_count) : count_(count) {}

    static std::vector<list_column> columns();

    size_t row_count() const override { return count_; }
    // Row r shows its number r + 1, a name, a value in 0..99999 that its number alone decides, and
    // its number in hexadecimal.
    std::string cell_text(size_t row, size_t column) const override;
    // The first row from `start` on whose number starts with the digits `prefix`, found by
    // arithmetic; npos for a prefix that is not all digits or starts with 0.
    size_t find_row(std::string_view prefix, size_t start) const override;

private:
    size_t count_;
};

}  // namespace ambrel
