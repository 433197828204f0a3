// The work of the UI and threads demo, as its worker thread does it: examines each track of a
// selection and reports what it finds as lines.
#pragma once

#include <string>

#include "host/abort.h"
#include "host/metadb.h"

namespace ambrel {

// Where the worker's reports go. Called on the worker's thread, only while its abort is not set.
class demo_reporter {
public:
    virtual void clear() = 0;
    virtual void line(const std::string& text) = 0;
    // The work ended by itself (not by an abort).
    virtual void finished() = 0;

protected:
    ~demo_reporter() = default;
};

// Reports on every track of `tracks` in turn: its title, length, size, time, audio format, what a
// complete decode gave and its pictures; a failure on one track is a "Failure: " line and the next
// track comes. Ends with "All done." and finished(). Once `abort` is set nothing more is reported
// and it returns. Raises nothing: a failure outside the tracks is a "Critical error: " line.
void run_demo_work(const metadb_handle_list& tracks, abort_callback& abort, demo_reporter& report);

}  // namespace ambrel
