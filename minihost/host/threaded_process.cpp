#include "minihost/host/threaded_process.h"

#include <algorithm>
#include <chrono>
#include <system_error>
#include <thread>

#include "host/filesystem.h"

#ifdef _WIN32
#include <io.h>
#define is_terminal(stream) (_isatty(_fileno(stream)) != 0)
#else
#include <unistd.h>
#define is_terminal(stream) (isatty(fileno(stream)) != 0)
#endif

namespace minihost {

struct process_runner::process {
    service_ptr_t<threaded_process_callback> callback;
    unsigned flags;
    host_window parent;
    std::string title;
    abort_callback_impl abort;
    std::unique_ptr<progress_view> view;
    std::thread worker;
    std::string failure;  // what run raised besides the abort; written by the worker before it ends
    // Guarded by the runner's mutex.
    bool worker_ended = false;
    bool handed_over = false;  // the view calls finish
    bool finishing = false;    // finish was called
    bool done = false;         // on_done was called
};

namespace {

constexpr double delayed_show_seconds = 0.5;

// The status the worker reports through, passed on to the view.
class status_impl final : public threaded_process_status {
public:
    status_impl(host_api& api, progress_view* view) : api_(api), view_(view) {}

    void set_progress(unsigned value) override { tell({progress_change::main, clamp(value), {}}); }
    void set_progress_secondary(unsigned value) override { tell({progress_change::secondary, clamp(value), {}}); }
    void set_item(const char* text) override { tell({progress_change::item, 0, text}); }
    void set_item_path(const char* path) override {
        zorb::string8 shown;
        filesystem::g_get_display_path(api_, path, shown);
        tell({progress_change::item, 0, shown.str()});
    }
    void set_title(const char* text) override { tell({progress_change::title, 0, text}); }

private:
    static unsigned clamp(unsigned value) { return std::min(value, progress_max); }
    void tell(const progress_change& change) {
        if (view_) view_->changed(change);
    }

    host_api& api_;
    progress_view* view_;
};

class threaded_process_impl : public threaded_process {
public:
    explicit threaded_process_impl(process_runner& runner) : runner_(runner) {}
    bool run_modeless(service_ptr_t<threaded_process_callback> callback, unsigned flags, host_window parent,
                      const char* title) override {
        return runner_.start(std::move(callback), flags, parent, title ? title : "", false);
    }
    bool run_modal(service_ptr_t<threaded_process_callback> callback, unsigned flags, host_window parent,
                   const char* title) override {
        return runner_.start(std::move(callback), flags, parent, title ? title : "", true);
    }

private:
    process_runner& runner_;
};

class printed_progress final : public progress_view {
public:
    printed_progress(std::FILE* out, const progress_view_request& request)
        : out_(out), flags_(request.flags), terminal_(is_terminal(out)), started_(std::chrono::steady_clock::now()) {
        state_.title = request.title;
    }

    void changed(const progress_change& change) override {
        const bool new_item = state_.apply(change);
        if (!visible()) return;
        if (terminal_) {
            const auto now = std::chrono::steady_clock::now();
            if (!new_item && now - drawn_ < std::chrono::milliseconds(100)) return;
            drawn_ = now;
            draw_line("\r", 79);
        } else if (new_item && (flags_ & threaded_process::flag_show_item)) {
            draw_line("", 0);
            std::fputc('\n', out_);
        }
        std::fflush(out_);
    }
    void ended(bool aborted) override {
        if (terminal_ && shown_) std::fputc('\n', out_);
        std::fprintf(out_, "[progress] %s: %s\n", state_.title.c_str(), aborted ? "aborted" : "done");
        std::fflush(out_);
    }

private:
    bool visible() {
        if (!shown_ && (flags_ & threaded_process::flag_show_delayed) &&
            std::chrono::steady_clock::now() - started_ < std::chrono::duration<double>(delayed_show_seconds))
            return false;
        shown_ = true;
        return true;
    }
    // "[progress] TITLE: 33% (50%) ITEM", after `lead`; cut or padded to `width` when it is not 0.
    void draw_line(const char* lead, size_t width) {
        std::string line = "[progress] ";
        line.append(state_.title).push_back(':');
        if (flags_ & (threaded_process::flag_show_progress | threaded_process::flag_show_progress_dual))
            line.append(" ").append(percent(state_.main));
        if (terminal_ && (flags_ & threaded_process::flag_show_progress_dual))
            line.append(" (").append(percent(state_.secondary)).append(")");
        if (flags_ & threaded_process::flag_show_item) line.append(" ").append(state_.item);
        if (width) line.resize(width, ' ');
        std::fputs(lead, out_);
        std::fputs(line.c_str(), out_);
    }
    static std::string percent(unsigned value) {
        return std::to_string(value * 100 / threaded_process_status::progress_max) + "%";
    }

    std::FILE* out_;
    unsigned flags_;
    bool terminal_;
    std::chrono::steady_clock::time_point started_, drawn_;
    bool shown_ = false;
    progress_state state_;
};

}  // namespace

bool progress_state::apply(const progress_change& change) {
    switch (change.kind) {
        case progress_change::main:
            main = change.value;
            return false;
        case progress_change::secondary:
            secondary = change.value;
            return false;
        case progress_change::item: {
            const bool other = change.text != item;
            item = change.text;
            return other;
        }
        case progress_change::title:
            title = change.text;
            return false;
    }
    return false;
}

progress_view_factory print_progress(std::FILE* out) {
    return [out](const progress_view_request& request) { return std::make_unique<printed_progress>(out, request); };
}

process_runner::process_runner(host_api& api, std::function<void(const std::string&, const std::string&)> report)
    : api_(api),
      report_(std::move(report)),
      views_(print_progress(stderr)),
      service_(new service_impl_t<threaded_process_impl>(*this)) {}

process_runner::~process_runner() { stop(); }

void process_runner::stop() {
    {
        std::lock_guard lock(mutex_);
        for (auto& each : processes_) each->abort.abort();
    }
    finish_all();
}

void process_runner::set_views(progress_view_factory views) { views_ = std::move(views); }

bool process_runner::start(service_ptr_t<threaded_process_callback> callback, unsigned flags, host_window parent,
                           const std::string& title, bool modal) {
    collect();
    if (!callback) return false;
    auto started = std::make_shared<process>();
    started->callback = callback;
    started->flags = flags;
    started->parent = parent;
    started->title = title;
    callback->on_init(parent);
    constexpr unsigned shown = threaded_process::flag_show_abort | threaded_process::flag_show_progress |
                               threaded_process::flag_show_progress_dual | threaded_process::flag_show_item;
    if (views_ && (flags & shown)) started->view = views_({started->title, flags, parent, modal, started->abort});
    {
        std::lock_guard lock(mutex_);
        processes_.push_back(started);
    }
    process* const self = started.get();
    try {
        started->worker = std::thread([this, self] {
            status_impl status(api_, self->view.get());
            try {
                self->callback->run(status, self->abort);
            } catch (const velmora_io::exception_aborted&) {
            } catch (const std::exception& failure) {
                self->failure = failure.what();
            } catch (...) {
                self->failure = "Unknown failure";
            }
            // The process stays in the list until it is done, so `self` outlives the finish.
            const bool handed = self->view && self->view->hand_over([this, self] { finish(*self); });
            {
                std::lock_guard lock(mutex_);
                self->worker_ended = true;
                self->handed_over = handed;
            }
            ended_.notify_all();
        });
    } catch (const std::system_error&) {
        std::lock_guard lock(mutex_);
        processes_.remove(started);
        return false;
    }
    if (!modal) return true;
    run_until_done(self);
    return !started->abort.is_aborting();
}

void process_runner::finish(process& done) {
    {
        std::lock_guard lock(mutex_);
        if (done.finishing) return;
        done.finishing = true;
    }
    if (done.worker.joinable()) done.worker.join();
    if (!done.failure.empty()) report_(done.title, done.failure);
    const bool aborted = done.abort.is_aborting();
    if (done.view) done.view->ended(aborted);
    try {
        done.callback->on_done(done.parent, aborted);
    } catch (const std::exception& failure) {
        report_(done.title, failure.what());
    }
    done.callback.reset();
    {
        std::lock_guard lock(mutex_);
        done.done = true;
    }
    ended_.notify_all();
}

void process_runner::collect() {
    std::list<std::shared_ptr<process>> gone;
    {
        std::lock_guard lock(mutex_);
        for (auto it = processes_.begin(); it != processes_.end();)
            if ((*it)->done)
                gone.splice(gone.end(), processes_, it++);
            else
                ++it;
    }
    // Views (and their windows) go outside the lock.
}

void process_runner::run_until_done(const process* until) {
    for (;;) {
        process* next = nullptr;
        {
            std::unique_lock lock(mutex_);
            const bool all_done = std::all_of(processes_.begin(), processes_.end(), [](auto& p) { return p->done; });
            if (until ? until->done : all_done) break;
            for (auto& each : processes_)
                if (each->worker_ended && !each->handed_over && !each->finishing) {
                    next = each.get();
                    break;
                }
            if (next == nullptr) ended_.wait_for(lock, std::chrono::milliseconds(20));
        }
        if (next)
            finish(*next);
        else
            pump_messages(0);
    }
    collect();
}

void process_runner::finish_all() { run_until_done(nullptr); }

bool process_runner::abort_all() {
    std::lock_guard lock(mutex_);
    bool any = false;
    for (auto& each : processes_)
        if (!each->done && (each->flags & threaded_process::flag_show_abort)) {
            each->abort.abort();
            any = true;
        }
    return any;
}

size_t process_runner::running() {
    std::lock_guard lock(mutex_);
    return static_cast<size_t>(std::count_if(processes_.begin(), processes_.end(), [](auto& p) { return !p->done; }));
}

}  // namespace minihost
