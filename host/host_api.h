// The two objects that meet at the export: the host API that the host hands to the component, and
// the component's client object that the host drives. Both are plain vtables shared by the two
// binaries, so the order of their virtual operations is fixed.
#pragma once

#include <cstddef>

#include "host/abort.h"
#include "host/service.h"

// A service class as the host knows it: opaque to the component.
struct host_service_class;
using service_class_ref = host_service_class*;

// Window handles travel as untyped pointers so that the interface builds without <windows.h>;
// on Windows they are HWND values.
using host_window = void*;

class host_api {
public:
    // Any thread. The class with this GUID, or null when no service of the class is registered.
    virtual service_class_ref service_enum_find_class(const GUID& class_guid) = 0;
    // Any thread. Creates the instance at `index` of the class and stores it with one reference
    // owned by the caller; false (and `out` untouched) when `index` is not below the count or
    // `cls` is null. A failure raised by the factory passes on.
    virtual bool service_enum_create(service_base*& out, service_class_ref cls, size_t index) = 0;
    // Any thread. Number of services of the class; 0 for a null class.
    virtual size_t service_enum_get_count(service_class_ref cls) = 0;
    // Any thread. The host's main window (an HWND); null when it has none.
    virtual host_window get_main_window() = 0;
    // Not used by the component; kept so that the operations after it keep their slots.
    virtual void reserved_slot() = 0;
    // Any thread. True on the host's user-interface thread.
    virtual bool is_main_thread() = 0;
    // Any thread. True once the host has begun to shut down.
    virtual bool is_shutting_down() = 0;

protected:
    ~host_api() = default;
};

constexpr unsigned velmora_client_version = 79;

// The component's static client object; every operation is called on the host's main thread.
class velmora_client {
public:
    // velmora_client_version.
    virtual unsigned get_version() = 0;
    // The head of the component's factory list; the factories live as long as the component.
    virtual service_factory_base* get_service_list() = 0;
    // Writes every configuration variable as a record: 16-byte GUID, 32-bit little-endian length,
    // that many bytes. Failures of the stream pass on.
    virtual void get_config(stream_writer& out, abort_callback& abort) = 0;
    // Hands records written by get_config back to their variables. Damaged data is skipped,
    // never raised; failures of the stream itself pass on.
    virtual void set_config(stream_reader& in, abort_callback& abort) = 0;
    // The component's full file path and its file name, UTF-8; the component copies both.
    virtual void set_library_path(const char* path, const char* name) = 0;
    // True once the host's services are up, false again when they have ended.
    virtual void services_init(bool initialised) = 0;
    virtual bool is_debug() = 0;

protected:
    ~velmora_client() = default;
};

// The component's one export (cdecl, undecorated). `module` is the component's HINSTANCE.
// Called once, on the main thread, before any other call into the component; the host API object
// must outlive the component.
using velmora_get_interface_t = velmora_client* (*)(host_api* api, void* module);
constexpr const char velmora_get_interface_name[] = "velmora_get_interface";
