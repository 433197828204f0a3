#include <cstdio>

#include "minihost/gui/gui_session.h"

namespace minihost {

int run_gui(host&, const gui_options&) {
    std::fprintf(stderr, "minihost: this build has no windows\n");
    return 1;
}

}  // namespace minihost
