// The edge of a window procedure, where exceptions stop.
//
// Between a window procedure and whoever waits for the window (DialogBox, a message loop, the
// window's creator) lie the window system's own frames, and an exception must not unwind through
// them. Every window and dialog procedure runs its handlers through the boundary its window owns:
// a failure is kept (the first one), reported as it happens, and Windows gets the fallback result.
// Once the message loop or the creating call has returned, the code that waited hands the kept
// failure on (`rethrow_failure`) where its operation must fail, or just looks at `failed`.
#pragma once

#include <exception>
#include <functional>
#include <string>
#include <utility>

namespace zorb {

class window_boundary {
public:
    // Told the text of every failure as it is caught, on the window's thread; may be empty.
    // Whatever it raises is dropped.
    using report_t = std::function<void(const std::string& message)>;

    explicit window_boundary(report_t report = {}) : report_(std::move(report)) {}

    // Runs `handler` and returns its result, or `fallback` when it raises.
    template <typename R, typename Handler>
    R run(R fallback, Handler&& handler) noexcept {
        try {
            return std::forward<Handler>(handler)();
        } catch (...) {
            keep(std::current_exception());
            return fallback;
        }
    }
    // Runs a handler without a result.
    template <typename Handler>
    void run(Handler&& handler) noexcept {
        try {
            std::forward<Handler>(handler)();
        } catch (...) {
            keep(std::current_exception());
        }
    }

    // True once a handler has raised, until rethrow_failure hands the failure on.
    bool failed() const noexcept { return static_cast<bool>(failure_); }
    // Raises the first failure kept, if any, and forgets it.
    void rethrow_failure() {
        if (std::exception_ptr failure = std::exchange(failure_, nullptr)) std::rethrow_exception(failure);
    }

private:
    void keep(std::exception_ptr failure) noexcept {
        if (!failure_) failure_ = failure;
        if (!report_) return;
        try {
            try {
                std::rethrow_exception(failure);
            } catch (const std::exception& caught) {
                report_(caught.what());
            } catch (...) {
                report_("Unknown failure");
            }
        } catch (...) {
        }
    }

    report_t report_;
    std::exception_ptr failure_;
};

}  // namespace zorb
