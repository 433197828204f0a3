// The host's file locks (file_lock_manager): per file, any number of readers or one writer,
// within the process.
#pragma once

#include "host/file_lock.h"

namespace minihost {

// The service; paths are told apart by file_identity (filesystem.h). A waiting request looks at
// its abort every 10 ms at most. Locks are granted in no particular order. A request that would
// wait for a lock its own thread holds (a copy onto the file it reads, named another way) raises
// velmora_io::exception_io instead of waiting for ever.
service_ptr make_file_lock_manager();

}  // namespace minihost
