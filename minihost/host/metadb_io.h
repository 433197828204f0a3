// The host's database I/O service (metadb_io_v2): hint lists whose hints the track cache takes,
// and tag updates of tracks run as threaded processes.
//
// An update (update_info_async) writes each file once, whatever number of its subsongs the list
// holds: under the host's write lock on the file it opens the file's info writer, reads each
// track's record, lets the filter change it, writes the changed ones and commits (the commit is
// never aborted half way), then reads the file's records anew for the track cache, which takes
// them on the user-interface thread at the end. A file that fails leaves the others to go on and
// is named in a popup "Tag update" (unless op_flag_no_errors). The flags as honoured here:
// op_flag_no_errors no popup; op_flag_background no progress view; op_flag_delay_ui the progress
// view only once the update lasts 0.5 s. Result codes as metadb_io_v2 states them.
#pragma once

#include "host/metadb_io.h"
#include "minihost/host/metadb.h"
#include "minihost/host/popup.h"
#include "minihost/host/threaded_process.h"

namespace minihost {

// The title of an update's progress view, and of its popup.
constexpr char tag_update_title[] = "Updating file tags";

service_ptr make_metadb_io(host_api& api, track_cache& tracks, process_runner& runner, popup_router& popups);

}  // namespace minihost
