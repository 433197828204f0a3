// Cancellation and the byte streams through which the host hands configuration records over.
#pragma once

#include <cstddef>

#include "host/exceptions.h"

// Polled by long operations; any thread.
class abort_callback {
public:
    virtual bool is_aborting() const = 0;
    // Raises velmora_io::exception_aborted ("User abort") once an abort was requested.
    void check() const {
        if (is_aborting()) throw velmora_io::exception_aborted();
    }

protected:
    ~abort_callback() = default;
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
