// The host's file locks: who may use a file inside the process while somebody reads or writes it.
#pragma once

#include "host/abort.h"
#include "host/service.h"

// One per path: any number of readers, or one writer. A singleton of the host; any thread.
class file_lock_manager : public service_base {
public:
    static constexpr GUID class_guid = {0xA808FE53, 0x0D36, 0x42FB, {0xAC, 0x02, 0x6A, 0xC8, 0x9C, 0xCB, 0x24, 0xBE}};
    using parent_t = service_base;

    enum lock_mode {
        mode_read,   // shared with other readers
        mode_write,  // alone
    };

    // Waits until the lock on `path` (a path a file system of the host handles) can be had in
    // `mode` and takes it: the lock object is held with one reference owned by the caller, and the
    // lock lasts until its last reference goes. Two texts for one file (a file:// URL and a plain
    // path, different letter case on Windows) are one path. Raises velmora_io::exception_aborted
    // when `abort` asks while it waits, and velmora_io::exception_io instead of waiting for a lock
    // that the calling thread holds itself (which would never be released).
    virtual service_ptr acquire(const char* path, lock_mode mode, abort_callback& abort) = 0;
};
