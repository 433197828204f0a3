#include "zorb/text_format.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#ifdef _WIN32
#include <windows.h>
#endif

namespace zorb {
namespace {

constexpr size_t longest_fixed = 63;
constexpr char invalid_timestamp[] = "<invalid timestamp>";

struct calendar_time {
    int year, month, day, hour, minute, second;
};

std::string calendar_text(const calendar_time& t) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return text;
}

#ifdef _WIN32
bool to_calendar(uint64_t file_time, bool local, calendar_time& out) {
    const FILETIME time = {static_cast<DWORD>(file_time), static_cast<DWORD>(file_time >> 32)};
    SYSTEMTIME utc, shown;
    if (!FileTimeToSystemTime(&time, &utc)) return false;
    if (!local)
        shown = utc;
    else if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &shown))
        return false;
    out = {shown.wYear, shown.wMonth, shown.wDay, shown.wHour, shown.wMinute, shown.wSecond};
    return true;
}
#else
bool to_calendar(uint64_t file_time, bool local, calendar_time& out) {
    if (file_time >> 63) return false;                      // beyond what Windows converts either
    constexpr uint64_t unix_epoch = 116444736000000000ull;  // 1970-01-01 in file time
    const int64_t seconds = static_cast<int64_t>(file_time / 10000000) - static_cast<int64_t>(unix_epoch / 10000000);
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm parts{};
    if ((local ? localtime_r(&time, &parts) : gmtime_r(&time, &parts)) == nullptr) return false;
    out = {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec};
    return true;
}
#endif

std::string file_time_text(uint64_t file_time, bool local) {
    calendar_time parts;
    return to_calendar(file_time, local, parts) ? calendar_text(parts) : invalid_timestamp;
}

}  // namespace

std::string format_fixed(double value, unsigned decimals) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    const double scaled = std::floor(std::fabs(value) * std::pow(10.0, decimals) + 0.5);
    std::string digits;
    if (std::isinf(scaled)) {
        digits = "inf";
    } else {
        char buffer[400];  // a double's integral digits: at most 309
        std::snprintf(buffer, sizeof buffer, "%.0f", scaled);
        digits = buffer;
        if (digits.size() <= decimals) digits.insert(0, decimals + 1 - digits.size(), '0');
        if (decimals > 0) digits.insert(digits.size() - decimals, 1, '.');
    }
    std::string text = (value < 0 ? "-" : "") + digits;
    if (text.size() > longest_fixed) text.resize(longest_fixed);
    return text;
}

std::string format_file_size_short(uint64_t bytes) {
    static const char* const units[] = {"B", "KB", "MB", "GB", "TB"};
    constexpr size_t largest = sizeof units / sizeof units[0] - 1;
    if (bytes < 1024) return std::to_string(bytes) + " B";
    size_t unit = 0;
    double value = static_cast<double>(bytes);
    while (value >= 1024 && unit < largest) {
        value /= 1024;
        ++unit;
    }
    // Three significant digits.
    const auto decimals_for = [](double v) { return v < 10 ? 2 : v < 100 ? 1 : 0; };
    const double step = std::pow(10.0, decimals_for(value));
    double rounded = std::floor(value * step + 0.5) / step;
    // Rounding may carry into the next digit: 9.996 KB is 10.0 KB, 1023.6 KB is 1.00 MB.
    if (rounded >= 1024 && unit < largest) {
        rounded = 1;
        ++unit;
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.*f %s", decimals_for(rounded), rounded, units[unit]);
    return text;
}

std::string format_file_time_utc(uint64_t file_time) { return file_time_text(file_time, false); }

std::string format_file_time_local(uint64_t file_time) { return file_time_text(file_time, true); }

}  // namespace zorb
