// Durations as people read them.
#pragma once

#include <cstdint>
#include <string>

namespace zorb {

// Whole seconds as minutes and two-digit seconds ("3:25"), from an hour on with the hours first and
// two-digit minutes ("1:02:03").
std::string time_text(uint64_t seconds);

// A track's length for a list: time_text of the whole seconds (a fraction rounded down); empty for a
// length of 0 or less or none at all (NaN), which is how the host says that it knows none.
std::string length_text(double seconds);

}  // namespace zorb
