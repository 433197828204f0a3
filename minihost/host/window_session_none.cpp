#include <chrono>
#include <cstdio>
#include <thread>

#include "minihost/host/threaded_process.h"
#include "minihost/host/window_session.h"

namespace minihost {

void close_windows_after(double) {}

bool pump_window_messages() { return false; }

void wait_for_window_messages(unsigned) {}
bool pump_messages(double seconds) {
    if (seconds > 0) std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    return true;
}

progress_view_factory progress_windows() { return print_progress(stderr); }

int show_preferences_window(host_api&, double) {
    std::fprintf(stderr, "minihost: this build has no windows\n");
    return 1;
}

}  // namespace minihost
