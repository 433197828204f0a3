#include <cstdio>

#include "minihost/host/window_session.h"

namespace minihost {

void close_windows_after(double) {}

bool pump_window_messages() { return false; }

void wait_for_window_messages(unsigned) {}

int show_preferences_window(host_api&, double) {
    std::fprintf(stderr, "minihost: this build has no windows\n");
    return 1;
}

}  // namespace minihost
