// The texts of the UI and threads demo's report lines.
#pragma once

#include <cstdint>
#include <string>

namespace ambrel {

// A channel configuration (a speaker bit mask) as speaker names from bit 0 up, separated by blanks:
// 3 is "FL FR"; bits above the 18 named speakers are "?"; 0 is empty.
std::string channel_description(uint32_t config);

// Seconds as "-" for a negative value, then the whole seconds as a time text and "." with exactly 6
// digits of microseconds (rounded to the nearest): 205.25 is "3:25.250000". A day or more is written
// with its weeks and days first and the hours always shown: "1wk 2d 0:00:05.000000".
std::string exact_time_text(double seconds);

// A byte count in the short form: whole bytes as "512 B", larger counts in the largest unit of
// steps of 1024 ("KB", "MB", "GB", "TB") that keeps the value at least 1, with two decimals below 10,
// one below 100 and none from there: "1.50 KB", "12.3 MB", "700 GB".
std::string size_text(uint64_t bytes);

// A file time (100-ns intervals since 1601-01-01 UTC) as the local time "YYYY-MM-DD hh:mm:ss".
std::string local_time_text(uint64_t file_time);

}  // namespace ambrel
