#include "tests/win/probe/probe.h"

#include <atomic>
#include <string>

#include "helpers/client.h"
#include "helpers/config_records.h"
#include "helpers/console.h"
#include "host/identity.h"
#include "host/service_lookup.h"

namespace {

std::atomic<int> live_counted{0};

class probe_counted_impl : public probe_counted {
public:
    probe_counted_impl() { ++live_counted; }
    ~probe_counted_impl() { --live_counted; }
    int live_objects() override { return live_counted; }
};

class probe_lookups_impl : public probe_lookups {
public:
    void lookup_console() override { service_lookup_one_t<console_receiver>(ambrel::host()); }
    bool try_lookup_console() override {
        service_ptr_t<console_receiver> console;
        return service_try_lookup_one_t(ambrel::host(), console);
    }
};

class failing_variable final : public config_variable {
public:
    failing_variable() : config_variable(probe_failing_guid, component_config_variables()) {}
    void write_data(stream_writer& out, abort_callback& abort) override { out.write("FAIL", 4, abort); }
    void read_data(stream_reader& in, size_t, abort_callback& abort) override {
        char first;
        in.read(&first, 1, abort);
        throw zorb::exception_invalid_params();
    }
};

class chatty_variable final : public config_variable {
public:
    chatty_variable() : config_variable(probe_chatty_guid, component_config_variables()) {}
    void write_data(stream_writer&, abort_callback&) override { ambrel::console_print("probe: configuration written"); }
    void read_data(stream_reader&, size_t, abort_callback&) override {
        ambrel::console_print("probe: configuration read");
    }
};

// The counter precedes the failing variable in creation, so its record follows the failing one's.
config_value_t<int32_t> counter(probe_counter_guid, 0);
failing_variable failing;
chatty_variable chatty;

class probe_initquit : public initquit {
public:
    void on_init() override {
        counter.set(counter.get() + 1);
        ambrel::console_print("probe counter: " + std::to_string(counter.get()));
    }
    void on_quit() override {}
};

service_factory_t<probe_counted_impl> counted_factory;
service_factory_single_t<probe_lookups_impl> lookups_factory;
service_factory_single_t<probe_initquit> initquit_factory;

}  // namespace
