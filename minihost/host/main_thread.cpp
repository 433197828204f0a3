#include "minihost/host/main_thread.h"

#include <cstdio>
#include <exception>

namespace minihost {
namespace {

class callback_manager : public main_thread_callback_manager {
public:
    explicit callback_manager(main_thread_queue& queue) : queue_(queue) {}
    void add_callback(service_ptr_t<main_thread_callback> callback) override { queue_.add(std::move(callback)); }

private:
    main_thread_queue& queue_;
};

}  // namespace

main_thread_queue::main_thread_queue() : service_(new service_impl_t<callback_manager>(*this)) { create_waker(); }

main_thread_queue::~main_thread_queue() {
    close();
    destroy_waker();
}

void main_thread_queue::add(service_ptr_t<main_thread_callback> callback) {
    {
        std::lock_guard lock(mutex_);
        if (closed_) return;  // `callback` is released on the way out, outside the lock
        queue_.push_back(std::move(callback));
    }
    wake();
}

size_t main_thread_queue::run_pending() {
    size_t ran = 0;
    for (;;) {
        service_ptr_t<main_thread_callback> next;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty()) return ran;
            next = std::move(queue_.front());
            queue_.pop_front();
        }
        ++ran;
        try {
            next->callback_run();
        } catch (const std::exception& failure) {
            std::fprintf(stderr, "minihost: a main-thread callback failed: %s\n", failure.what());
        } catch (...) {
            std::fprintf(stderr, "minihost: a main-thread callback failed\n");
        }
    }
}

void main_thread_queue::close() {
    std::deque<service_ptr_t<main_thread_callback>> dropped;
    std::lock_guard lock(mutex_);
    closed_ = true;
    dropped.swap(queue_);
}

}  // namespace minihost
