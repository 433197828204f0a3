#include "zorb/time_text.h"

#include <cstdio>

namespace zorb {

std::string time_text(uint64_t seconds) {
    char text[40];
    const auto hours = static_cast<unsigned long long>(seconds / 3600);
    const auto minutes = static_cast<unsigned long long>(seconds / 60 % 60);
    const auto rest = static_cast<unsigned long long>(seconds % 60);
    if (hours > 0)
        std::snprintf(text, sizeof text, "%llu:%02llu:%02llu", hours, minutes, rest);
    else
        std::snprintf(text, sizeof text, "%llu:%02llu", minutes, rest);
    return text;
}

std::string length_text(double seconds) {
    if (!(seconds > 0)) return {};
    // Beyond what 64 bits hold a length means nothing; it shows as the largest one.
    const uint64_t whole = seconds < 1.8e19 ? static_cast<uint64_t>(seconds) : UINT64_MAX;
    return time_text(whole);
}

}  // namespace zorb
