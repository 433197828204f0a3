// Cancellation and the byte streams through which the host hands configuration records over.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>

#include "host/exceptions.h"

// Polled by long operations; any thread.
class abort_callback {
public:
    virtual bool is_aborting() const = 0;
    // Waits `seconds`, or less when an abort is requested meanwhile: true when one was. This form
    // looks every 10 ms; an object with an event of its own answers at once.
    virtual bool wait_for(double seconds) const {
        using clock = std::chrono::steady_clock;
        const clock::time_point end =
            clock::now() + std::chrono::duration_cast<clock::duration>(std::chrono::duration<double>(seconds));
        while (!is_aborting()) {
            const clock::duration left = end - clock::now();
            if (left <= clock::duration::zero()) return false;
            std::this_thread::sleep_for(std::min<clock::duration>(left, std::chrono::milliseconds(10)));
        }
        return true;
    }

    // Raises velmora_io::exception_aborted ("User abort") once an abort was requested.
    void check() const {
        if (is_aborting()) throw velmora_io::exception_aborted();
    }
    // Waits `seconds`; an abort requested meanwhile ends the wait with velmora_io::exception_aborted.
    void sleep(double seconds) const {
        if (wait_for(seconds)) throw velmora_io::exception_aborted();
    }

protected:
    ~abort_callback() = default;
};

// An abort that somebody requests: a flag that the polls read, and an event that wakes every
// wait at once. Any thread; abort() may come from any thread, also more than once.
class abort_callback_impl final : public abort_callback {
public:
    bool is_aborting() const override { return aborting_.load(std::memory_order_acquire); }
    bool wait_for(double seconds) const override {
        std::unique_lock lock(mutex_);
        return event_.wait_for(lock, std::chrono::duration<double>(seconds), [&] { return is_aborting(); });
    }
    void abort() {
        {
            std::lock_guard lock(mutex_);
            aborting_.store(true, std::memory_order_release);
        }
        event_.notify_all();
    }

private:
    std::atomic<bool> aborting_{false};
    mutable std::mutex mutex_;
    mutable std::condition_variable event_;
};

// An abort that never happens, for callers with nothing to cancel.
class abort_callback_dummy final : public abort_callback {
public:
    bool is_aborting() const override { return false; }
};

// Host-owned streams, used on the thread that makes the configuration call.
class stream_reader {
public:
    // Reads up to `byte_count` bytes; a result below `byte_count` means the stream has ended.
    // May raise the host's I/O failures and velmora_io::exception_aborted.
    virtual size_t read(void* buffer, size_t byte_count, abort_callback& abort) = 0;

protected:
    ~stream_reader() = default;
};

class stream_writer {
public:
    // Writes all `byte_count` bytes or raises the host's I/O failure.
    virtual void write(const void* buffer, size_t byte_count, abort_callback& abort) = 0;

protected:
    ~stream_writer() = default;
};
