// Work handed to the host's user-interface thread from any other thread.
#pragma once

#include <functional>
#include <utility>

#include "host/host_api.h"
#include "host/service.h"
#include "host/service_lookup.h"

// One piece of work. callback_run is called once, on the user-interface thread; what it raises is
// the host's to catch and report.
class main_thread_callback : public service_base {
public:
    static constexpr GUID class_guid = {0xE54B94CD, 0xB1E8, 0x4DE0, {0x92, 0xC6, 0xE3, 0x08, 0xB5, 0x7C, 0x3E, 0x80}};
    using parent_t = service_base;

    virtual void callback_run() = 0;
};

// A singleton of the host; any thread. Raises nothing.
class main_thread_callback_manager : public service_base {
public:
    static constexpr GUID class_guid = {0x1C98094C, 0xDBD1, 0x4944, {0xB4, 0x31, 0x3D, 0x83, 0xA8, 0x01, 0xF2, 0xB7}};
    using parent_t = service_base;

    // Queues `callback`; the host runs the queued callbacks on its user-interface thread in the
    // order they came, from its message loop (also from a modal one), keeping a reference to each
    // until it has run. Callbacks still queued when the host stops are released without running.
    virtual void add_callback(service_ptr_t<main_thread_callback> callback) = 0;
};

// `work` as a callback object, with one reference owned by the caller.
inline service_ptr_t<main_thread_callback> make_main_thread_callback(std::function<void()> work) {
    class function_callback : public main_thread_callback {
    public:
        explicit function_callback(std::function<void()> work) : work_(std::move(work)) {}
        void callback_run() override { work_(); }

    private:
        std::function<void()> work_;
    };
    return service_ptr_t<main_thread_callback>(new service_impl_t<function_callback>(std::move(work)));
}

// Runs `work` on the host's user-interface thread through its main_thread_callback_manager.
// Raises exception_service_not_found when the host has none.
inline void main_thread_callback_add(host_api& api, std::function<void()> work) {
    service_lookup_one_t<main_thread_callback_manager>(api)->add_callback(make_main_thread_callback(std::move(work)));
}
