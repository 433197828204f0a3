#include "sample/listcontrol/virtual_rows.h"

#include <cstdint>
#include <cstdio>

namespace ambrel {
namespace {

// The smallest number from `from` to `last` whose decimal digits start with those of `prefix`, or
// 0 when there is none. Such numbers lie in the ranges prefix × 10^k .. (prefix + 1) × 10^k − 1.
uint64_t first_number_with_prefix(uint64_t prefix, uint64_t from, uint64_t last) {
    uint64_t best = 0;
    for (uint64_t scale = 1; prefix <= last / scale; scale *= 10) {
        const uint64_t low = prefix * scale, high = (prefix + 1) * scale - 1;
        const uint64_t candidate = low > from ? low : from;
        if (candidate <= high && candidate <= last && (best == 0 || candidate < best)) best = candidate;
        if (scale > last / 10) break;
    }
    return best;
}

}  // namespace

std::vector<list_column> virtual_rows::columns() {
    return {{"Row", 80, true}, {"Name", 160}, {"Value", 80, true}, {"Hex", 90, true}};
}

std::string virtual_rows::cell_text(size_t row, size_t column) const {
    const uint64_t number = static_cast<uint64_t>(row) + 1;
    char text[32];
    switch (column) {
        case 0:
            return std::to_string(number);
        case 1:
            return "Virtual item " + std::to_string(number);
        case 2:
            // A multiplicative hash: neighbours differ, and the same row always shows the same value.
            return std::to_string((number * 2654435761u) % 100000);
        default:
            std::snprintf(text, sizeof text, "0x%06llX", static_cast<unsigned long long>(number));
            return text;
    }
}

size_t virtual_rows::find_row(std::string_view prefix, size_t start) const {
    if (prefix.empty() || prefix.size() > 18 || prefix.front() == '0' || count_ == 0) return npos;
    uint64_t wanted = 0;
    for (char c : prefix) {
        if (c < '0' || c > '9') return npos;
        wanted = wanted * 10 + static_cast<uint64_t>(c - '0');
    }
    const uint64_t last = count_;
    const uint64_t from = start < count_ ? static_cast<uint64_t>(start) + 1 : 1;
    uint64_t found = first_number_with_prefix(wanted, from, last);
    if (found == 0) found = first_number_with_prefix(wanted, 1, last);
    return found == 0 ? npos : static_cast<size_t>(found - 1);
}

}  // namespace ambrel
