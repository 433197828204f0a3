// The host's threaded processes: long work that a component hands to the host, run on a worker
// thread of the host's with a progress window that lets the person abort it.
#pragma once

#include <cstddef>

#include "host/abort.h"
#include "host/host_api.h"
#include "host/service.h"

// What the worker tells the progress window. The host's object, lent to `run` for its duration;
// called on the worker thread only. Texts are UTF-8 and copied. Raises nothing.
class threaded_process_status {
public:
    // Both progress bars run from 0 to progress_max.
    static constexpr unsigned progress_max = 5000;

    // The main bar: how much of the whole work is done; values above progress_max count as it.
    virtual void set_progress(unsigned value) = 0;
    // The secondary bar: how much of the current item is done.
    virtual void set_progress_secondary(unsigned value) = 0;
    // The line that names the current item.
    virtual void set_item(const char* text) = 0;
    // The same for an item that is a file: the host shows `path` in its display form.
    virtual void set_item_path(const char* path) = 0;
    // A new title for the window.
    virtual void set_title(const char* text) = 0;

protected:
    ~threaded_process_status() = default;
};

// A component's work. The host holds a reference from the start until after on_done.
class threaded_process_callback : public service_base {
public:
    static constexpr GUID class_guid = {0x3A1C29B1, 0x6F07, 0x4B35, {0x9E, 0x51, 0x2C, 0x8D, 0x04, 0x7B, 0xA6, 0x13}};
    using parent_t = service_base;

    // On the user-interface thread, before the work starts; `parent` is the progress window's
    // owner. A failure reaches whoever asked the host to run the process, and nothing more is called.
    virtual void on_init(host_window parent) = 0;
    // On the host's worker thread: the work. `abort` is set when the person asks to stop; an
    // exception_aborted that leaves run is that stop, any other failure the host reports.
    virtual void run(threaded_process_status& status, abort_callback& abort) = 0;
    // On the user-interface thread once run has returned; `aborted` tells whether an abort was
    // requested meanwhile. A failure is reported by the host.
    virtual void on_done(host_window parent, bool aborted) = 0;
};

// The host's runner of threaded processes: a singleton, called on the user-interface thread.
class threaded_process : public service_base {
public:
    static constexpr GUID class_guid = {0x9DBC262F, 0x4795, 0x4292, {0x82, 0x4B, 0x23, 0xA6, 0x55, 0x01, 0x1A, 0x3E}};
    using parent_t = service_base;

    // How the progress window looks; other bits are ignored.
    static constexpr unsigned flag_show_abort = 0x01;          // an Abort button (the close box aborts too)
    static constexpr unsigned flag_show_delayed = 0x02;        // shown only once the work lasts 0.5 s
    static constexpr unsigned flag_show_progress = 0x04;       // the main progress bar
    static constexpr unsigned flag_show_progress_dual = 0x08;  // the main and the secondary bar
    static constexpr unsigned flag_show_item = 0x10;           // the current item's line
    static constexpr unsigned flag_no_focus = 0x20;            // shown without taking the focus

    // Starts `callback` with a progress window owned by `parent` and titled `title` (UTF-8, copied)
    // and returns at once: on_init before it returns, run on a worker thread, on_done later on
    // this thread. False when the process could not be started (on_done then never comes); what
    // on_init raises passes on.
    virtual bool run_modeless(service_ptr_t<threaded_process_callback> callback, unsigned flags, host_window parent,
                              const char* title) = 0;
    // The same, returning only once on_done has been called, while `parent` takes no input: true
    // unless the process was aborted or could not be started.
    virtual bool run_modal(service_ptr_t<threaded_process_callback> callback, unsigned flags, host_window parent,
                           const char* title) = 0;
};
