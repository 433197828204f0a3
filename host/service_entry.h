// Services whose interface extends an entry-point class: the host enumerates the entry-point class
// (dsp_entry, preferences_page, advconfig_entry) and queries each service for the version it
// wants, so the factory registers under the entry point rather than the most derived interface.
#pragma once

#include "host/service.h"

template <typename Entry, typename T>
class service_factory_single_entry_t final : public service_factory_base {
    static_assert(std::is_base_of_v<Entry, T>);

public:
    service_factory_single_entry_t() : service_factory_base(Entry::class_guid) {}
    template <typename... Args>
    explicit service_factory_single_entry_t(Args&&... args)
        : service_factory_base(Entry::class_guid), instance_(std::forward<Args>(args)...) {}
    void instance_create(service_base*& out) override { out = static_cast<service_base*>(&instance_); }

    T& get() { return instance_; }

private:
    service_impl_single_t<T> instance_;
};
