#include "tests/win/probe/probe.h"

#include <atomic>

#include "helpers/client.h"
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

service_factory_t<probe_counted_impl> counted_factory;
service_factory_single_t<probe_lookups_impl> lookups_factory;

}  // namespace
