// minihost: our own implementation of the velmora host, enough to load a component, merge its
// services with the host's own, keep its configuration in a file and run it through start and stop.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "host/host_api.h"
#include "host/identity.h"

struct host_service_class;

namespace minihost {

// One service as the host lists it: from a factory of the component, or an instance of the host's own.
struct registered_service {
    GUID class_guid;
    service_factory_base* factory;  // the component's factory; null for a host service
    service_ptr host_instance;      // the host's own service; empty for a component service
};

// Where the component came from: its export, its module handle, its path.
struct component_binding {
    velmora_get_interface_t entry;
    void* module;              // the HINSTANCE; null when linked in-process
    std::string library_path;  // full path, UTF-8
};

class host final : public host_api {
public:
    // `config_path`: the file that keeps the component's configuration records (UTF-8; may not exist yet).
    // The host starts with its own services for local files (minihost/host/filesystem.h), its
    // version (minihost/host/core_version.h) and WAV files (minihost/host/wav_input.h).
    explicit host(std::string config_path);
    ~host();
    host(const host&) = delete;
    host& operator=(const host&) = delete;

    // A service of the host's own; only before start.
    void add_service(const GUID& class_guid, service_ptr instance);

    // The start sequence: export, library path, service list, configuration, services up, on_init.
    // Raises zorb::exception when the component cannot be started.
    void start(const component_binding& component);
    // The stop sequence: on_quit, services down, configuration written, instances released.
    // Does nothing when not started. Raises when the configuration file cannot be written.
    void stop();

    velmora_client& client() const { return *client_; }
    // Every registered service, the host's first, then the component's in list order.
    const std::vector<registered_service>& services() const { return services_; }

    // host_api
    service_class_ref service_enum_find_class(const GUID& class_guid) override;
    bool service_enum_create(service_base*& out, service_class_ref cls, size_t index) override;
    size_t service_enum_get_count(service_class_ref cls) override;
    host_window get_main_window() override { return nullptr; }
    void reserved_slot() override {}
    bool is_main_thread() override { return std::this_thread::get_id() == main_thread_; }
    bool is_shutting_down() override { return shutting_down_; }

private:
    void read_config();
    void write_config();

    std::string config_path_;
    std::thread::id main_thread_;
    std::atomic<bool> shutting_down_{false};
    velmora_client* client_ = nullptr;
    std::vector<registered_service> host_services_;
    std::vector<registered_service> services_;
    std::vector<std::unique_ptr<host_service_class>> classes_;
    std::vector<service_ptr_t<initquit>> initquits_;
};

// Writes console lines to standard output, one line each, at once.
service_ptr make_stdout_console();

// The file name part of a path (after its last \ or /).
std::string file_name_of(const std::string& path);

}  // namespace minihost
