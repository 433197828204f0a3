#include "minihost/host/properties_window.h"

namespace minihost {

std::vector<property_line> property_lines(const std::vector<property_row>& rows) {
    std::vector<property_line> lines;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (i == 0 || rows[i].group != rows[i - 1].group) lines.push_back({rows[i].group, "", true});
        lines.push_back({"    " + rows[i].name, rows[i].value, false});
    }
    return lines;
}

}  // namespace minihost
