// The host's main-thread callback service: work that any thread hands to the user-interface thread.
#pragma once

#include <deque>
#include <mutex>

#include "host/main_thread.h"

namespace minihost {

// Made on the user-interface thread. On Windows a message-only window of that thread is woken for
// every callback added, so the callbacks run from whatever message loop the thread is in (the main
// window's, a modal dialog's, a test's pump); a build without windows runs them in run_pending.
class main_thread_queue {
public:
    main_thread_queue();
    ~main_thread_queue();
    main_thread_queue(const main_thread_queue&) = delete;
    main_thread_queue& operator=(const main_thread_queue&) = delete;

    // Any thread. Queues `callback`; once closed, releases it at once instead.
    void add(service_ptr_t<main_thread_callback> callback);
    // On the user-interface thread: runs the callbacks queued so far, in order; one that raises is
    // reported on standard error and the next one runs. Returns how many ran.
    size_t run_pending();
    // Releases what is queued without running it and refuses later callbacks: the host does so
    // before it lets its component go, whose code the callbacks are.
    void close();

    // The main_thread_callback_manager service over this queue.
    service_ptr service() const { return service_; }

private:
    void wake();          // asks the user-interface thread to run_pending
    void create_waker();  // on the user-interface thread
    void destroy_waker();

    std::mutex mutex_;
    std::deque<service_ptr_t<main_thread_callback>> queue_;
    bool closed_ = false;
    void* waker_ = nullptr;  // the message-only window (HWND) on Windows
    service_ptr service_;
};

}  // namespace minihost
