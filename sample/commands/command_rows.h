// The fixed commands of a menu service as a table.
#pragma once

#include <cstddef>

#include "host/guid.h"
#include "host/shared.h"

namespace ambrel {

struct command_row {
    const char* name;
    GUID guid;
    const char* description;
};

// The row at `index`; an index past the table is a programming error that ends in uBugCheck(what).
template <size_t N>
const command_row& command_row_at(const command_row (&rows)[N], size_t index, const char* what) {
    if (index >= N) uBugCheck(what);
    return rows[index];
}

}  // namespace ambrel
