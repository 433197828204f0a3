#include "helpers/advconfig_impl.h"

namespace ambrel {

uint64_t parse_leading_unsigned(std::string_view text) {
    constexpr uint64_t largest = std::numeric_limits<uint64_t>::max();
    uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') break;
        const auto digit = static_cast<uint64_t>(c - '0');
        value = value > (largest - digit) / 10 ? largest : value * 10 + digit;
    }
    return value;
}

}  // namespace ambrel
