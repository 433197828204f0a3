#include "sample/commands/demo_text.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "zorb/time_text.h"

namespace ambrel {

std::string channel_description(uint32_t config) {
    static const char* const speakers[] = {"FL", "FR", "FC", "LFE", "BL",  "BR",  "FCL", "FCR", "BC",
                                           "SL", "SR", "TC", "TFL", "TFC", "TFR", "TBL", "TBC", "TBR"};
    constexpr unsigned named = sizeof speakers / sizeof speakers[0];
    std::string text;
    for (unsigned bit = 0; bit < 32; ++bit) {
        if (!(config >> bit & 1)) continue;
        if (!text.empty()) text += ' ';
        text += bit < named ? speakers[bit] : "?";
    }
    return text;
}

std::string exact_time_text(double seconds) {
    std::string text = seconds < 0 ? "-" : "";
    // Beyond what 64 bits of microseconds hold a time means nothing; it shows as the largest one.
    const double micro = std::floor(std::fabs(seconds) * 1000000.0 + 0.5);
    const uint64_t total = micro < 1.8e19 ? static_cast<uint64_t>(micro) : UINT64_MAX;
    const uint64_t whole = total / 1000000;
    constexpr uint64_t day = 86400, week = 7 * day;
    if (whole >= day) {
        if (whole >= week) text += std::to_string(whole / week) + "wk ";
        text += std::to_string(whole % week / day) + "d ";
        char clock[32];
        std::snprintf(clock, sizeof clock, "%u:%02u:%02u", unsigned(whole % day / 3600), unsigned(whole % 3600 / 60),
                      unsigned(whole % 60));
        text += clock;
    } else {
        text += zorb::time_text(whole);
    }
    char fraction[16];
    std::snprintf(fraction, sizeof fraction, ".%06u", unsigned(total % 1000000));
    return text + fraction;
}

std::string size_text(uint64_t bytes) {
    if (bytes < 1024) return std::to_string(bytes) + " B";
    static const char* const units[] = {"KB", "MB", "GB", "TB"};
    double value = double(bytes) / 1024;
    unsigned unit = 0;
    // A value that would round to 1024 moves to the next unit.
    while (value >= 1023.5 && unit + 1 < 4) value /= 1024, ++unit;
    char text[48];
    std::snprintf(text, sizeof text, value < 10 ? "%.2f %s" : value < 100 ? "%.1f %s" : "%.0f %s", value, units[unit]);
    return text;
}

std::string local_time_text(uint64_t file_time) {
    // From 1601 to 1970 in 100-ns intervals.
    constexpr uint64_t unix_epoch = 116444736000000000ull;
    const std::time_t seconds =
        file_time >= unix_epoch ? std::time_t((file_time - unix_epoch) / 10000000) : std::time_t(0);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &seconds);
#else
    localtime_r(&seconds, &local);
#endif
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

}  // namespace ambrel
