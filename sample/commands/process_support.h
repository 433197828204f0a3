// What the commands that run on the host's worker threads share: starting a process, the main
// progress of an item, and opening files that another program may hold for a moment.
#pragma once

#include <chrono>
#include <cstddef>

#include "host/threaded_process.h"

namespace ambrel {

// The main progress before item `index` of `count`: index × 5000 / count, the product in 64 bits,
// the fraction cut off.
unsigned item_progress(size_t index, size_t count);

// Runs `process` modeless through the host's threaded process service, owned by the host's main
// window. Raises the lookup's failures, and zorb::exception when the host cannot start it.
void run_process_modeless(service_ptr_t<threaded_process_callback> process, unsigned flags, const char* title);

// How long an open is tried again while the system reports a sharing violation.
constexpr double sharing_retry_seconds = 1.0;
// The pauses between tries: opening a file, opening an info writer.
constexpr double file_retry_pause = 0.05;
constexpr double info_writer_retry_pause = 0.01;

// Calls `open` and returns what it returns; while it fails with
// velmora_io::exception_io_sharing_violation, waits `pause` seconds on `abort` (an abort ends the
// wait with velmora_io::exception_aborted) and tries again, until sharing_retry_seconds have passed
// since the first try, after which the violation passes on.
template <typename Open>
auto open_with_retry(Open&& open, double pause, abort_callback& abort) {
    const auto first = std::chrono::steady_clock::now();
    for (;;) {
        try {
            return open();
        } catch (const velmora_io::exception_io_sharing_violation&) {
            if (std::chrono::steady_clock::now() - first >= std::chrono::duration<double>(sharing_retry_seconds)) throw;
            abort.sleep(pause);
        }
    }
}

}  // namespace ambrel
