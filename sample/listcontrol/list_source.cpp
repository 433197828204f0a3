#include "sample/listcontrol/list_source.h"

#include <cstdint>

namespace ambrel {
size_t list_source::find_row(std::string_view prefix, size_t start) const {
    const size_t count = row_count();
    if (count == 0) return npos;
    if (start >= count) start = 0;
    for (size_t step = 0; step < count; ++step) {
        const size_t row = (start + step) % count;
        if (starts_with_nocase(cell_text(row, 0), prefix)) return row;
    }
    return npos;
}

int scale_for_dpi(int units, int dpi) {
    if (dpi < 1) dpi = 96;
    const int64_t scaled = static_cast<int64_t>(units) * dpi;
    // Halves round away from zero, as MulDiv does.
    return static_cast<int>(scaled >= 0 ? (scaled + 48) / 96 : (scaled - 48) / 96);
}

std::string count_text(size_t count) {
    std::string digits = std::to_string(count);
    for (size_t position = digits.size(); position > 3; position -= 3) digits.insert(position - 3, ",");
    return digits;
}

bool starts_with_nocase(std::string_view text, std::string_view prefix) {
    if (prefix.size() > text.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (fold_ascii(text[i]) != fold_ascii(prefix[i])) return false;
    return true;
}

}  // namespace ambrel
