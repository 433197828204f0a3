// The host's threaded processes: the threaded_process service and the runner behind it. The work
// runs on a worker thread of its own; on_init and on_done run on the user-interface thread. How a
// process shows itself is the session's: a line on standard error on the command line (on_done
// once the command's work ends, when the runner is finished), a progress window in a window
// session (on_done when the window hears that the work ended), a record in the tests.
//
// The flags of threaded_process, as this host honours them:
// - flag_show_abort: the window has an Abort button and its close box aborts; on the command line
//   Ctrl+C aborts such a process (abort_all) instead of ending minihost. Without it the process
//   cannot be aborted but by the host's stop.
// - flag_show_delayed: the window appears once the work has lasted 0.5 s, not at all when it ends
//   sooner; the command line prints its first line then too.
// - flag_show_progress / flag_show_progress_dual: one bar (the main one) or both; the command line
//   shows the main bar's percentage, and the secondary one's on a terminal.
// - flag_show_item: the current item's line, in the window and on the command line.
// - flag_no_focus: the window appears without taking the focus.
#pragma once

#include <condition_variable>
#include <cstdio>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>

#include "host/threaded_process.h"

namespace minihost {

// A change that a running process reports.
struct progress_change {
    enum kind_t { main, secondary, item, title } kind;
    unsigned value = 0;  // main, secondary: 0 to threaded_process_status::progress_max
    std::string text;    // item (a path in its display form), title
    bool operator==(const progress_change&) const = default;
};

// What a view shows of a process: the latest of each kind of change.
struct progress_state {
    unsigned main = 0, secondary = 0;  // 0 to threaded_process_status::progress_max
    std::string item, title;
    // Takes `change` in: true when it names another item than the one shown.
    bool apply(const progress_change& change);
};

// How one process shows itself while it runs: made on the user-interface thread when it starts.
class progress_view {
public:
    virtual ~progress_view() = default;
    // On the worker thread, for every change the process reports.
    virtual void changed(const progress_change& change) = 0;
    // On the worker thread once run has returned. A view with windows of its own arranges for
    // `finish` to be called on the user-interface thread and returns true; otherwise false, and
    // the runner's finish_all calls it.
    virtual bool hand_over(std::function<void()> finish) {
        (void)finish;
        return false;
    }
    // On the user-interface thread, just before on_done.
    virtual void ended(bool aborted) { (void)aborted; }
};

// What a view is made from: the process's title and flags, the window that owns its windows (which
// takes no input while a modal process runs), and the abort that an Abort button requests.
struct progress_view_request {
    const std::string& title;
    unsigned flags;
    host_window parent;
    bool modal;
    abort_callback_impl& abort;
};
using progress_view_factory = std::function<std::unique_ptr<progress_view>(const progress_view_request& request)>;

// Prints a process on `out` (standard error): on a terminal one line redrawn as it changes, else a
// line when it starts (or, delayed, after 0.5 s), one per new item and one when it ends:
// "[progress] TITLE: 33% ITEM" ... "[progress] TITLE: done" (or "aborted").
progress_view_factory print_progress(std::FILE* out);
// A progress window per process (a window build; elsewhere print_progress(stderr)).
progress_view_factory progress_windows();

// Runs the host's threaded processes. Starting, finishing and the view are the user-interface
// thread's; abort_all and running any thread's.
class process_runner {
public:
    // `report` is told the failures that a process raises where nobody else hears them (run
    // raising something other than the abort, on_done raising): the title and the text.
    explicit process_runner(host_api& api, std::function<void(const std::string&, const std::string&)> report);
    ~process_runner();  // stop()
    process_runner(const process_runner&) = delete;
    process_runner& operator=(const process_runner&) = delete;

    // Processes started from now on show themselves through `views` (empty: not at all); a process
    // whose flags ask to show nothing (no abort, bar or item) has no view.
    void set_views(progress_view_factory views);

    // on_init, then the work on its own thread. False when no thread could be started. Modal:
    // returns once on_done was called, `parent` disabled meanwhile; true unless aborted.
    bool start(service_ptr_t<threaded_process_callback> callback, unsigned flags, host_window parent,
               const std::string& title, bool modal);

    // Waits until every process has ended, calling on_done of those whose view left it to the
    // runner, and the window messages of the others meanwhile.
    void finish_all();
    // Asks every running process with flag_show_abort to stop: true when there was one.
    bool abort_all();
    // Asks every running process to stop, whatever its flags, and finishes them: the host's stop.
    void stop();
    // Processes started and not yet done.
    size_t running();

    // The threaded_process service over this runner.
    service_ptr service() const { return service_; }

private:
    struct process;
    void finish(process& done);
    void collect();
    // Finishes processes (and pumps window messages) until `until` is done, or all are when null.
    void run_until_done(const process* until);

    host_api& api_;
    std::function<void(const std::string&, const std::string&)> report_;
    progress_view_factory views_;
    std::mutex mutex_;
    std::condition_variable ended_;
    std::list<std::shared_ptr<process>> processes_;
    service_ptr service_;
};

// On the user-interface thread of a window session: dispatches the window messages that arrive
// within `seconds` (waiting for them); without windows, just waits. False once WM_QUIT came.
bool pump_messages(double seconds);

}  // namespace minihost
