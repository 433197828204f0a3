#include <cstdio>

#include "minihost/host/properties_window.h"

namespace minihost {

int show_properties_window(host_api&, const metadb_handle_list&, double) {
    std::fprintf(stderr, "minihost: this build has no windows\n");
    return 1;
}

}  // namespace minihost
