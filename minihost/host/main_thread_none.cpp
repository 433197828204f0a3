// Without windows the queue waits for run_pending.
#include "minihost/host/main_thread.h"

namespace minihost {

void main_thread_queue::create_waker() {}
void main_thread_queue::destroy_waker() {}
void main_thread_queue::wake() {}

}  // namespace minihost
