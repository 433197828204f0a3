// Finding the services of a host class through the host API.
#pragma once

#include <cstddef>

#include "host/exceptions.h"
#include "host/host_api.h"

template <typename T>
size_t service_count_t(host_api& api) {
    return api.service_enum_get_count(api.service_enum_find_class(T::class_guid));
}

// The service of class T at `index`, or an empty pointer past the end. A factory registered under
// T's class GUID creates an object of class T, so the reference is T's without a query.
template <typename T>
service_ptr_t<T> service_create_at_t(host_api& api, size_t index) {
    service_base* out = nullptr;
    if (!api.service_enum_create(out, api.service_enum_find_class(T::class_guid), index)) return {};
    return service_ptr_t<T>::adopt(static_cast<T*>(out));
}

// The one service of class T. Raises exception_service_not_found ("Service not found") when there
// is none and exception_service_duplicated ("Service duplicated") when there are several.
template <typename T>
service_ptr_t<T> service_lookup_one_t(host_api& api) {
    const size_t count = service_count_t<T>(api);
    if (count == 0) throw exception_service_not_found();
    if (count > 1) throw exception_service_duplicated();
    service_ptr_t<T> service = service_create_at_t<T>(api, 0);
    if (!service) throw exception_service_not_found();
    return service;
}

// The tolerant twin: false, and `out` untouched, where service_lookup_one_t would raise.
template <typename T>
bool service_try_lookup_one_t(host_api& api, service_ptr_t<T>& out) {
    if (service_count_t<T>(api) != 1) return false;
    service_ptr_t<T> service = service_create_at_t<T>(api, 0);
    if (!service) return false;
    out = std::move(service);
    return true;
}
