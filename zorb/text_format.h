// Numbers, byte counts and file times as the host and the component write them in messages.
#pragma once

#include <cstdint>
#include <string>

namespace zorb {

// `value` in fixed-point form with exactly `decimals` decimals: a "-" for a negative value, then
// the magnitude rounded half up (|value| × 10^decimals + 0.5, floored), its last `decimals` digits
// after a point and at least "0" before it ("0.5000000", "12.0000000"). At most 63 characters; a
// value that is not finite is written "inf", "-inf" or "nan".
std::string format_fixed(double value, unsigned decimals);

// A byte count in the short form: whole bytes below 1 KB ("300 B"), otherwise the count in the
// largest unit of 1024 steps (KB, MB, GB, TB) that it reaches, with three significant digits
// rounded half up ("1.50 KB", "15.2 MB", "152 GB"; "1.00 MB" where rounding reaches 1024 KB).
// Beyond TB the count stays in TB ("4096 TB").
std::string format_file_size_short(uint64_t bytes);

// A file time (100-nanosecond intervals since 1601-01-01 UTC, as Windows keeps them) as
// "YYYY-MM-DD hh:mm:ss": in UTC, or in the local time of the system (with the daylight saving
// rule of that date). The year has at least 4 digits, the other parts 2. "<invalid timestamp>"
// for a time the system cannot convert (from 2^63 on, as on Windows).
std::string format_file_time_utc(uint64_t file_time);
std::string format_file_time_local(uint64_t file_time);

}  // namespace zorb
